// Every export given what a careless or hostile host might pass: null pointers, bad and
// closed handles, zero, tiny and oversize sizes, calls out of order.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"
#include "guarded_buffer.h"
#include "lsa_double.h"
#include "sheet_driver.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using test_support::guarded_buffer;
using test_support::run_sheet;
using test_support::tab_texts;

namespace {

constexpr int no_such_template = 999;

HINSTANCE self() {
    return GetModuleHandleA(nullptr);
}

LPCSTR tmpl(int id) {
    return MAKEINTRESOURCEA(id);
}

INT_PTR CALLBACK plain_page_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// What a sheet run showed: whether it came up, its tabs and current page.
struct sheet_seen {
    int result = -2;
    bool shown = false;
    std::string tabs;
    int current = -1;
};

sheet_seen show(const char* caption, UINT start_page) {
    sheet_seen seen;
    seen.result = run_sheet(caption, start_page, [&](HWND sheet) {
        seen.shown = true;
        seen.tabs = tab_texts(sheet);
        seen.current = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    });
    return seen;
}

class HostileRegistryInput : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = "Software\\svcsheet-hostile-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key_, nullptr))
            << path_;
    }
    void TearDown() override {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }

    void write(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size));
    }
    // The value's bytes as the platform reads them, or "<absent>".
    std::string stored(const char* name) {
        std::vector<BYTE> data(1 << 21);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegQueryValueExA(key_, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) {
            return "<absent>";
        }
        return std::string(reinterpret_cast<const char*>(data.data()), size);
    }

    std::string path_;
    HKEY key_ = nullptr;
};

class HostileSecretInput : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lsa.applied()); }
    void TearDown() override { ShutdownSecret(); }

    static std::string bytes_of(const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()),
                           text.size() * sizeof(wchar_t));
    }

    test_support::lsa_double lsa;
};

} // namespace

// The sheet would drop such pages when shown, and a sheet left with none cannot be closed.
TEST(HostileSheetInput, AddsRefuseTemplatesTheInstanceDoesNotHold) {
    EXPECT_EQ(-1, AddTabbedPage(self(), tmpl(no_such_template), plain_page_proc));
    EXPECT_EQ(-1, AddTabbedPage(self(), nullptr, plain_page_proc));
    EXPECT_EQ(-1, AddTabbedPage(self(), "NO_SUCH_PAGE", plain_page_proc));
    EXPECT_EQ(-1, AddTabbedPageParam(self(), tmpl(no_such_template), plain_page_proc, 5));
    EXPECT_EQ(
        -1, AddTabbedPage(GetModuleHandleA("svcsheet.dll"), tmpl(IDD_TEST_ALPHA), plain_page_proc));
    EXPECT_EQ(-1, AddTabbedPage(reinterpret_cast<HINSTANCE>(0x1234), tmpl(IDD_TEST_ALPHA),
                                plain_page_proc));

    // A null instance means the program's own module, where the template is.
    EXPECT_EQ(0, AddTabbedPage(nullptr, tmpl(IDD_TEST_ALPHA), plain_page_proc));
    EXPECT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), plain_page_proc));
    const sheet_seen seen = show("Refused pages", 0);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ("Alpha|Beta", seen.tabs);
    EXPECT_EQ(0, seen.result);
    EXPECT_FALSE(test_support::sheet_left_open());
}

TEST(HostileSheetInput, PageWithoutADialogProcedureShowsAndCloses) {
    ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), nullptr));
    ASSERT_EQ(1, AddTabbedPageParam(self(), tmpl(IDD_TEST_BETA), nullptr, 42));
    int pages_created = 0;
    const int result = run_sheet("No procedure", 0, [&](HWND sheet) {
        PropSheet_SetCurSel(sheet, nullptr, 1);
        pages_created = PropSheet_GetCurrentPageHwnd(sheet) != nullptr ? 1 : 0;
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(1, pages_created);
    EXPECT_EQ(0, result);
    EXPECT_FALSE(test_support::sheet_left_open());
}

// An empty sheet ignores Cancel and Close: shown, it would hold the host for good.
TEST(HostileSheetInput, DoDialogWithNoPagesFailsWithoutShowingASheet) {
    sheet_seen seen = show("Empty", 0);
    EXPECT_EQ(-1, seen.result);
    EXPECT_FALSE(seen.shown);

    // Also after a sheet has taken every page there was.
    ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), plain_page_proc));
    seen = show("Once", 0);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(0, seen.result);
    seen = show("Twice", 0);
    EXPECT_EQ(-1, seen.result);
    EXPECT_FALSE(seen.shown);
}

TEST(HostileSheetInput, NullCaptionHugeStartIndexAndBadParentNeitherCrashNorHang) {
    ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), plain_page_proc));
    ASSERT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), plain_page_proc));
    sheet_seen seen = show(nullptr, 0);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ("Alpha|Beta", seen.tabs);
    EXPECT_EQ(0, seen.result);

    for (UINT start : {2u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), plain_page_proc));
        ASSERT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), plain_page_proc));
        seen = show("Start beyond", start);
        EXPECT_TRUE(seen.shown) << start;
        EXPECT_TRUE(seen.current == 0 || seen.current == 1) << start << ": " << seen.current;
        EXPECT_EQ(0, seen.result) << start;
    }

    // A parent that is no window, or one that is gone: nothing comes up, DoDialog fails, and
    // the pages it took are destroyed, each exactly once.
    HWND gone =
        CreateWindowA("STATIC", "gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, gone);
    DestroyWindow(gone);
    test_support::page_destructions destructions;
    ASSERT_TRUE(destructions.applied());
    LPARAM next_page = 1;
    for (HWND bad_parent : {reinterpret_cast<HWND>(0x12345), gone}) {
        const LPARAM first = next_page++, second = next_page++;
        ASSERT_EQ(0, AddTabbedPageParam(self(), tmpl(IDD_TEST_ALPHA), plain_page_proc, first));
        ASSERT_EQ(1, AddTabbedPageParam(self(), tmpl(IDD_TEST_BETA), plain_page_proc, second));
        seen.shown = false;
        const int result = run_sheet(
            "Bad parent", 0,
            [&](HWND sheet) {
                seen.shown = true;
                PropSheet_PressButton(sheet, PSBTN_CANCEL);
            },
            bad_parent);
        EXPECT_EQ(-1, result) << bad_parent;
        EXPECT_FALSE(seen.shown) << bad_parent;
        EXPECT_FALSE(test_support::sheet_left_open());
        EXPECT_EQ(1, destructions.of(first)) << bad_parent;
        EXPECT_EQ(1, destructions.of(second)) << bad_parent;
    }
    EXPECT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), plain_page_proc));
    EXPECT_EQ("Gamma", show("After bad parent", 0).tabs);
}

TEST(HostileSheetInput, ExportedDllMainIgnoresThreadAndUnknownReasons) {
    HMODULE library = GetModuleHandleA("svcsheet.dll");
    auto entry = test_support::exported_dll_main(library);
    ASSERT_NE(nullptr, entry);
    for (DWORD reason : {DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH}, DWORD{77}}) {
        EXPECT_TRUE(entry(nullptr, reason, nullptr)) << reason;
    }
    // The library still knows its own module: its sheets still come up.
    ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), plain_page_proc));
    EXPECT_TRUE(show("After DllMain", 0).shown);
}

TEST_F(HostileRegistryInput, NullInvalidAndClosedKeysFailWithoutWriting) {
    HKEY closed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ALL_ACCESS, &closed));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    const DWORD number = 7;
    const struct {
        const char* what;
        HKEY key;
    } bad_keys[] = {
        {"null", nullptr},
        {"invalid", reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xDEADBEEC))},
        {"closed", closed},
    };
    for (const auto& bad : bad_keys) {
        EXPECT_EQ(nullptr, OrinOpenKey(bad.key, "Software")) << bad.what;
        EXPECT_EQ(0, OrinUpdateKey(bad.key, "Number", reinterpret_cast<const BYTE*>(&number),
                                   sizeof number, REG_DWORD))
            << bad.what;
        guarded_buffer buffer(8);
        EXPECT_EQ(0, OrinGetKey(bad.key, "Number", buffer.get(), buffer.bytes())) << bad.what;
        EXPECT_TRUE(buffer.all_zero()) << bad.what;
        EXPECT_EQ(0u, buffer.guard_writes()) << bad.what;
    }
    EXPECT_EQ("<absent>", stored("Number"));
}

TEST_F(HostileRegistryInput, NullNamesMeanTheKeyItselfAndItsDefaultValue) {
    HKEY same = OrinOpenKey(key_, nullptr);
    ASSERT_NE(nullptr, same);
    const char text[] = "default";
    EXPECT_EQ(
        1, OrinUpdateKey(same, nullptr, reinterpret_cast<const BYTE*>(text), sizeof text, REG_SZ));
    RegCloseKey(same);
    EXPECT_EQ(std::string(text, sizeof text), stored(""));

    guarded_buffer buffer(sizeof text);
    EXPECT_EQ(1, OrinGetKey(key_, nullptr, buffer.get(), buffer.bytes()));
    EXPECT_STREQ(text, reinterpret_cast<const char*>(buffer.get()));
    EXPECT_EQ(0u, buffer.guard_writes());
}

// Windows fails such a write; Wine faults in the middle of it for string types.
TEST_F(HostileRegistryInput, NullDataWithASizeIsRefusedAndTheValueKept) {
    const char kept[] = "kept";
    write("Value", REG_SZ, kept, sizeof kept);
    for (DWORD type : {DWORD{REG_SZ}, DWORD{REG_EXPAND_SZ}, DWORD{REG_MULTI_SZ}, DWORD{REG_BINARY},
                       DWORD{REG_DWORD}}) {
        EXPECT_EQ(0, OrinUpdateKey(key_, "Value", nullptr, 16, type)) << type;
    }
    EXPECT_EQ(std::string(kept, sizeof kept), stored("Value"));

    // No data and no size is a value of no bytes.
    EXPECT_EQ(1, OrinUpdateKey(key_, "Empty", nullptr, 0, REG_BINARY));
    EXPECT_EQ("", stored("Empty"));
}

TEST_F(HostileRegistryInput, ZeroAndTinyBuffersAreNeverOverrun) {
    const char text[] = "abcdef";
    write("Text", REG_SZ, text, sizeof text);
    const DWORD number = 0x01020304;
    write("Number", REG_DWORD, &number, sizeof number);
    write("Empty", REG_BINARY, nullptr, 0);

    for (DWORD size = 0; size < sizeof text; ++size) {
        guarded_buffer buffer(size);
        EXPECT_EQ(0, OrinGetKey(key_, "Text", buffer.get(), buffer.bytes())) << size;
        EXPECT_TRUE(buffer.all_zero()) << size;
        EXPECT_EQ(0u, buffer.guard_writes()) << size;
    }
    for (DWORD size = 0; size < sizeof number; ++size) {
        guarded_buffer buffer(size, 1);
        EXPECT_EQ(0, OrinGetKey(key_, "Number", buffer.get(), buffer.bytes())) << size;
        EXPECT_TRUE(buffer.all_zero()) << size;
        EXPECT_EQ(0u, buffer.guard_writes()) << size;
    }
    guarded_buffer odd(sizeof number, 1);
    EXPECT_EQ(1, OrinGetKey(key_, "Number", odd.get(), odd.bytes()));
    EXPECT_EQ(0, std::memcmp(odd.get(), &number, sizeof number));
    EXPECT_EQ(0u, odd.guard_writes());

    guarded_buffer none(0);
    EXPECT_EQ(1, OrinGetKey(key_, "Empty", none.get(), none.bytes()));
    EXPECT_EQ(0u, none.guard_writes());

    // No buffer and no size reads nothing: it only asks whether the value is there.
    EXPECT_EQ(1, OrinGetKey(key_, "Text", nullptr, 0));
    EXPECT_EQ(0, OrinGetKey(key_, "Missing", nullptr, 0));
    EXPECT_EQ(0, OrinGetKey(key_, "Text", nullptr, 64));
}

TEST_F(HostileRegistryInput, OversizeNamesFailAndOversizeDataRoundTripsWhole) {
    const std::string long_name(20000, 'n');
    const DWORD number = 9;
    EXPECT_EQ(0, OrinUpdateKey(key_, long_name.c_str(), reinterpret_cast<const BYTE*>(&number),
                               sizeof number, REG_DWORD));
    guarded_buffer small(8);
    EXPECT_EQ(0, OrinGetKey(key_, long_name.c_str(), small.get(), small.bytes()));
    EXPECT_TRUE(small.all_zero());
    EXPECT_EQ(0u, small.guard_writes());
    const std::string long_path(100000, 'p');
    EXPECT_EQ(nullptr, OrinOpenKey(HKEY_CURRENT_USER, long_path.c_str()));
    EXPECT_EQ(nullptr, OrinOpenKey(key_, long_path.c_str()));

    std::vector<BYTE> big(1 << 20);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<BYTE>(i * 7 + 1);
    }
    ASSERT_EQ(1,
              OrinUpdateKey(key_, "Big", big.data(), static_cast<DWORD>(big.size()), REG_BINARY));
    guarded_buffer whole(big.size());
    ASSERT_EQ(1, OrinGetKey(key_, "Big", whole.get(), whole.bytes()));
    EXPECT_EQ(0, std::memcmp(whole.get(), big.data(), big.size()));
    EXPECT_EQ(0u, whole.guard_writes());

    guarded_buffer short_by_one(big.size() - 1);
    EXPECT_EQ(0, OrinGetKey(key_, "Big", short_by_one.get(), short_by_one.bytes()));
    EXPECT_TRUE(short_by_one.all_zero());
    EXPECT_EQ(0u, short_by_one.guard_writes());
}

TEST_F(HostileSecretInput, NullNamesReachThePlatformAsEmptyCountedStrings) {
    ASSERT_EQ(1, InitializeSecret());
    StoreSecret(nullptr, L"value");
    ASSERT_EQ(1, lsa.store_calls);
    EXPECT_TRUE(lsa.stored_name.present);
    EXPECT_EQ(0, lsa.stored_name.length);
    EXPECT_EQ(0, lsa.stored_name.maximum_length);
    EXPECT_EQ(nullptr, lsa.stored_name.buffer);

    guarded_buffer buffer(64);
    GetSecret(nullptr, buffer.wide(), buffer.bytes());
    ASSERT_EQ(1, lsa.retrieve_calls);
    EXPECT_EQ(0, lsa.retrieved_name.length);
    EXPECT_EQ(nullptr, lsa.retrieved_name.buffer);
    EXPECT_EQ(0u, buffer.guard_writes());
}

TEST_F(HostileSecretInput, OddTinyAndMisalignedBuffersAreNeverOverrun) {
    lsa.secrets[L"ten"] = bytes_of(L"0123456789");
    ASSERT_EQ(1, InitializeSecret());
    for (std::size_t offset : {0u, 1u}) {
        for (DWORD size = 0; size <= 24; ++size) {
            guarded_buffer buffer(size, offset);
            const int result = GetSecret(L"ten", buffer.wide(), buffer.bytes());
            EXPECT_EQ(0u, buffer.guard_writes()) << size << " at offset " << offset;
            if (size < 22) { // ten characters and the terminator
                EXPECT_EQ(2, result) << size;
                EXPECT_TRUE(buffer.all_untouched()) << size;
                continue;
            }
            ASSERT_EQ(0, result) << size << " at offset " << offset;
            EXPECT_EQ(L"0123456789", buffer.wide_text()) << size << " at offset " << offset;
        }
    }
}

// A platform that hands back an odd byte count must not make the copy run off the end.
TEST_F(HostileSecretInput, SecretOfOddLengthKeepsItsWholeCharacters) {
    lsa.secrets[L"odd"] = std::string("a\0b\0c", 5);
    ASSERT_EQ(1, InitializeSecret());
    guarded_buffer roomy(64);
    ASSERT_EQ(0, GetSecret(L"odd", roomy.wide(), roomy.bytes()));
    EXPECT_EQ(L"ab", roomy.wide_text());
    EXPECT_EQ(0u, roomy.guard_writes());
    guarded_buffer short_by_one(5);
    EXPECT_EQ(2, GetSecret(L"odd", short_by_one.wide(), short_by_one.bytes()));
    EXPECT_TRUE(short_by_one.all_untouched());
    guarded_buffer tight(6);
    ASSERT_EQ(0, GetSecret(L"odd", tight.wide(), tight.bytes()));
    EXPECT_EQ(L"ab", tight.wide_text());
    EXPECT_EQ(0u, tight.guard_writes());
}
