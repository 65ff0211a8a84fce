// Faults from outside the host: the state the library works on changes under it.
#include <windows.h>

#include "svcsheet.h"
#include "child_process.h"
#include "guarded_buffer.h"

#include <gtest/gtest.h>

#include <string>

using test_support::guarded_buffer;

namespace {

class RegistryFaults : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = "Software\\svcsheet-fault-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        create_with_value();
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }

    void create_with_value() {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + "\\child").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ALL_ACCESS, &key));
        const DWORD before = 1;
        RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before),
                       sizeof before);
        RegCloseKey(key);
    }

    bool key_exists() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    // Every wrapper, through a key whose registry key is gone: all fail, none writes
    // outside the buffer, and the key is not brought back.
    void expect_every_call_fails(HKEY held, const char* how) {
        const DWORD after = 2;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(0, OrinUpdateKey(held, "Value", reinterpret_cast<const BYTE*>(&after),
                                   sizeof after, REG_DWORD))
            << how;
        guarded_buffer buffer(sizeof(DWORD));
        EXPECT_EQ(0, OrinGetKey(held, "Value", buffer.get(), buffer.bytes())) << how;
        EXPECT_TRUE(buffer.all_zero()) << how;
        EXPECT_EQ(0u, buffer.guard_writes()) << how;
        HKEY child = OrinOpenKey(held, "child");
        EXPECT_EQ(nullptr, child) << how;
        if (child != nullptr) {
            RegCloseKey(child);
        }
        EXPECT_FALSE(key_exists()) << how;
    }

    std::string path_;
};

} // namespace

TEST_F(RegistryFaults, KeyDeletedThroughAnotherHandleFailsEveryCall) {
    HKEY held = OrinOpenKey(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_NE(nullptr, held);
    guarded_buffer before(sizeof(DWORD));
    ASSERT_EQ(1, OrinGetKey(held, "Value", before.get(), before.bytes()));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()));
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str()); // where the tree call left the key itself
    ASSERT_FALSE(key_exists());
    expect_every_call_fails(held, "deleted in process");

    // A new key of the same name is another key: the stale handle must not write into it.
    create_with_value();
    const DWORD stale = 3;
    EXPECT_EQ(0, OrinUpdateKey(held, "Value", reinterpret_cast<const BYTE*>(&stale), sizeof stale,
                               REG_DWORD));
    HKEY fresh = OrinOpenKey(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_NE(nullptr, fresh);
    DWORD value = 0;
    EXPECT_EQ(1, OrinGetKey(fresh, "Value", reinterpret_cast<BYTE*>(&value), sizeof value));
    EXPECT_EQ(1u, value);
    RegCloseKey(fresh);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(held));
}

TEST_F(RegistryFaults, KeyDeletedByAnotherProcessFailsEveryCall) {
    HKEY held = OrinOpenKey(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_NE(nullptr, held);
    const std::string output =
        test_support::run_and_capture("reg.exe delete \"HKCU\\" + path_ + "\" /f");
    ASSERT_FALSE(key_exists()) << "reg.exe did not delete the key: " << output;
    expect_every_call_fails(held, "deleted by reg.exe");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(held));
}
