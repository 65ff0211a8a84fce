// The registry wrappers against Wine's real registry, in a key of the test's own.
#include <windows.h>
#include <winternl.h>

#include "svcsheet.h"
#include "child_process.h"
#include "sheet_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using test_support::import_patch;
using test_support::run_and_capture;

namespace {

// The access a handle was granted, as the object manager reports it.
ACCESS_MASK granted_access(HANDLE handle) {
    PUBLIC_OBJECT_BASIC_INFORMATION info = {};
    ULONG size = 0;
    if (NtQueryObject(handle, ObjectBasicInformation, &info, sizeof info, &size) != 0) {
        return 0;
    }
    return info.GrantedAccess;
}

// RegQueryValueExA as Windows may answer for a value larger than the buffer.
LSTATUS WINAPI query_writing_part_of_the_value(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE data,
                                               LPDWORD size) {
    if (data != nullptr && size != nullptr) {
        std::memset(data, 'x', *size);
    }
    return ERROR_MORE_DATA;
}

class RegistryWrappers : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = "Software\\svcsheet-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        const LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        ASSERT_EQ(ERROR_SUCCESS, rc) << path_;
    }

    // Runs even when the test failed.
    void TearDown() override {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }

    void write_string(const char* name, const char* bytes, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, name, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(bytes), size));
    }

    std::string path_;
    HKEY key_ = nullptr;
};

} // namespace

TEST_F(RegistryWrappers, OpenKeyGivesFullAccessToAnExistingKey) {
    HKEY key = OrinOpenKey(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_ALL_ACCESS), granted_access(key));

    // Full access: the key takes values and subkeys.
    const DWORD one = 1;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Written", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&one), sizeof one));
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(key, "child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr));
    if (child != nullptr) {
        RegCloseKey(child);
    }
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryWrappers, OpenKeyYieldsNullForAnAbsentKeyAndDoesNotCreateIt) {
    const std::string absent = path_ + "\\absent";
    EXPECT_EQ(nullptr, OrinOpenKey(HKEY_CURRENT_USER, absent.c_str()));

    HKEY probe = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, absent.c_str(), 0, KEY_READ, &probe);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rc);
    if (probe != nullptr) {
        RegCloseKey(probe);
    }
}

TEST_F(RegistryWrappers, UpdateKeyWritesStringAndDwordValuesThatReadBack) {
    const char text[] = "hello svcsheet";
    ASSERT_EQ(1, OrinUpdateKey(key_, "Greeting", reinterpret_cast<const BYTE*>(text), sizeof text,
                               REG_SZ));
    const DWORD number = 0x12345678;
    ASSERT_EQ(1, OrinUpdateKey(key_, "Number", reinterpret_cast<const BYTE*>(&number),
                               sizeof number, REG_DWORD));

    DWORD type = 0;
    char stored[64] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "Greeting", nullptr, &type,
                                              reinterpret_cast<BYTE*>(stored), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ(text, stored);

    BYTE buffer[64];
    std::memset(buffer, 0xAB, sizeof buffer);
    ASSERT_EQ(1, OrinGetKey(key_, "Number", buffer, sizeof(DWORD)));
    DWORD read_number = 0;
    std::memcpy(&read_number, buffer, sizeof read_number);
    EXPECT_EQ(number, read_number);

    std::memset(buffer, 0xAB, sizeof buffer);
    ASSERT_EQ(1, OrinGetKey(key_, "Greeting", buffer, sizeof buffer));
    EXPECT_STREQ(text, reinterpret_cast<const char*>(buffer));

    // Wine's own tool sees the same values.
    const std::string output = run_and_capture("reg.exe query \"HKCU\\" + path_ + "\" /v Number");
    EXPECT_NE(std::string::npos, output.find("REG_DWORD")) << output;
    EXPECT_NE(std::string::npos, output.find("0x12345678")) << output;
}

TEST_F(RegistryWrappers, GetKeyTerminatesShortStringsButNotOnesThatFillTheBuffer) {
    write_string("Short", "abc", 3);
    // The platform counts a terminator the caller left out when one follows the data,
    // so the exact value is cut from a longer text.
    write_string("Exact", "abcdefghij", 8);

    BYTE buffer[12];
    std::memset(buffer, 0xAB, sizeof buffer);
    ASSERT_EQ(1, OrinGetKey(key_, "Short", buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, "abc\0\0\0\0\0", 8));
    EXPECT_EQ(0xAB, buffer[8]) << "wrote past the buffer";

    std::memset(buffer, 0xAB, sizeof buffer);
    ASSERT_EQ(1, OrinGetKey(key_, "Exact", buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, "abcdefgh", 8));
    EXPECT_EQ(0xAB, buffer[8]) << "wrote past the buffer";
}

TEST_F(RegistryWrappers, GetKeyFailsForAValueLargerThanTheBufferAndLeavesItZero) {
    const char text[] = "longer than eight";
    write_string("Long", text, sizeof text);
    BYTE buffer[12];
    std::memset(buffer, 0xAB, sizeof buffer);
    EXPECT_EQ(0, OrinGetKey(key_, "Long", buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, "\0\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(0xAB, buffer[8]) << "wrote past the buffer";

    // Windows leaves whatever it likes in the buffer when the value does not fit; a
    // failed read must not hand a cut-off value back.
    import_patch partial("advapi32.dll", "RegQueryValueExA",
                         reinterpret_cast<const void*>(&query_writing_part_of_the_value));
    ASSERT_TRUE(partial.applied());
    std::memset(buffer, 0xAB, sizeof buffer);
    EXPECT_EQ(0, OrinGetKey(key_, "Long", buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, "\0\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(0xAB, buffer[8]) << "wrote past the buffer";
}

TEST_F(RegistryWrappers, GetKeyFailsForAMissingValueAndLeavesTheBufferZero) {
    BYTE buffer[16];
    std::memset(buffer, 0xAB, sizeof buffer);
    EXPECT_EQ(0, OrinGetKey(key_, "Missing", buffer, sizeof buffer));
    for (BYTE b : buffer) {
        ASSERT_EQ(0, b);
    }
}

TEST_F(RegistryWrappers, GetKeyRefusesANullBufferWithASize) {
    write_string("Short", "abc", 4);
    EXPECT_EQ(0, OrinGetKey(key_, "Short", nullptr, 16));
}

TEST_F(RegistryWrappers, FailuresOfThePlatformReduceToZero) {
    HKEY read_only = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &read_only));
    const DWORD number = 7;
    EXPECT_EQ(0, OrinUpdateKey(read_only, "Number", reinterpret_cast<const BYTE*>(&number),
                               sizeof number, REG_DWORD));
    RegCloseKey(read_only);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key_, "Number", nullptr, nullptr, nullptr, nullptr));

    BYTE buffer[4] = {};
    EXPECT_EQ(0, OrinUpdateKey(nullptr, "Number", reinterpret_cast<const BYTE*>(&number),
                               sizeof number, REG_DWORD));
    EXPECT_EQ(0, OrinGetKey(nullptr, "Number", buffer, sizeof buffer));
}
