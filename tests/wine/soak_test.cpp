// Soaks: many sheets, registry cycles and secret-store cycles in one process, with what
// the process holds measured before and after.
#include <windows.h>
#include <prsht.h>

#include "svcsheet.h"
#include "lsa_double.h"
#include "resource_meter.h"
#include "sheet_driver.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using test_support::describe;
using test_support::growth_beyond;
using test_support::resource_margin;
using test_support::resource_sample;
using test_support::sample_resources;

namespace {

// A leak of one object, block or handle per cycle shows over these runs at once; the
// margins only absorb what the platform itself keeps warming up (caches, lazily made
// objects), which stays the same however many cycles run.
constexpr resource_margin flat = {
    4,         // handles
    4,         // GDI objects
    0,         // USER objects (windows)
    1 << 20,   // private bytes
    16 * 1024, // heap bytes
    16,        // heap blocks
};

void expect_available(const resource_sample& sample) {
    EXPECT_GE(sample.handles, 1) << describe(sample);
    EXPECT_GE(sample.gdi_objects, 1) << describe(sample);
    EXPECT_GE(sample.user_objects, 0) << describe(sample);
    EXPECT_GE(sample.private_bytes, 1) << describe(sample);
    EXPECT_GE(sample.heap_blocks, 1) << describe(sample);
}

void report(const char* what, const resource_sample& before, const resource_sample& after) {
    std::printf("%s\n  before: %s\n  after:  %s\n  meter:  %s\n", what, describe(before).c_str(),
                describe(after).c_str(), test_support::meter_sources().c_str());
}

INT_PTR CALLBACK plain_page_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Three pages, every one of them created, then OK or Cancel: what a host does.
bool show_and_close_sheet(int round) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    if (AddTabbedPage(self, MAKEINTRESOURCEA(IDD_TEST_ALPHA), plain_page_proc) < 0 ||
        AddTabbedPageParam(self, MAKEINTRESOURCEA(IDD_TEST_BETA), plain_page_proc, round) < 0 ||
        AddTabbedPage(self, MAKEINTRESOURCEA(IDD_TEST_GAMMA), plain_page_proc) < 0) {
        return false;
    }
    bool shown = false;
    test_support::run_sheet("Soak", 0, [&](HWND sheet) {
        PropSheet_SetCurSel(sheet, nullptr, 1);
        PropSheet_SetCurSel(sheet, nullptr, 2);
        shown = true;
        if (round % 2 == 0) {
            PropSheet_Changed(sheet, PropSheet_GetCurrentPageHwnd(sheet));
            PropSheet_PressButton(sheet, PSBTN_OK);
        } else {
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
        }
    });
    return shown && !test_support::sheet_left_open();
}

} // namespace

// The meter must see what it is meant to catch, or a flat reading proves nothing.
TEST(ResourceMeter, SeesLeakedHandlesGdiObjectsWindowsAndHeapBlocks) {
    const resource_sample before = sample_resources();
    expect_available(before);

    std::vector<HANDLE> events;
    std::vector<HGDIOBJ> brushes;
    std::vector<HWND> windows;
    std::vector<void*> blocks;
    for (int i = 0; i < 10; ++i) {
        events.push_back(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        brushes.push_back(CreateSolidBrush(RGB(i, 2, 3)));
    }
    for (int i = 0; i < 3; ++i) {
        windows.push_back(
            CreateWindowA("STATIC", "leak", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    }
    for (int i = 0; i < 50; ++i) {
        blocks.push_back(HeapAlloc(GetProcessHeap(), 0, 4096));
    }
    const resource_sample leaking = sample_resources();
    report("deliberate leak", before, leaking);
    EXPECT_GE(leaking.handles - before.handles, 10) << describe(leaking);
    EXPECT_GE(leaking.gdi_objects - before.gdi_objects, 10) << describe(leaking);
    EXPECT_GE(leaking.user_objects - before.user_objects, 3) << describe(leaking);
    EXPECT_GE(leaking.heap_blocks - before.heap_blocks, 50) << describe(leaking);
    EXPECT_GE(leaking.heap_bytes - before.heap_bytes, 50 * 4096) << describe(leaking);
    EXPECT_NE("", growth_beyond(before, leaking, flat));

    for (HANDLE event : events) {
        CloseHandle(event);
    }
    for (HGDIOBJ brush : brushes) {
        DeleteObject(brush);
    }
    for (HWND window : windows) {
        DestroyWindow(window);
    }
    for (void* block : blocks) {
        HeapFree(GetProcessHeap(), 0, block);
    }
    const resource_sample after = sample_resources();
    EXPECT_EQ("", growth_beyond(before, after, flat));
}

TEST(Soak, FiftySheetsShownAndClosedLeaveResourcesFlat) {
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(show_and_close_sheet(round)) << "warm-up sheet " << round;
    }
    const resource_sample before = sample_resources();
    expect_available(before);
    int shown = 0;
    for (int round = 0; round < 50; ++round) {
        shown += show_and_close_sheet(round) ? 1 : 0;
    }
    const resource_sample after = sample_resources();
    report("50 sheets", before, after);
    EXPECT_EQ(50, shown);
    EXPECT_EQ("", growth_beyond(before, after, flat));
}

TEST(Soak, ThousandRegistryCyclesLeaveResourcesFlat) {
    const std::string path = "Software\\svcsheet-soak-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(GetTickCount());
    HKEY root = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &root, nullptr));
    RegCloseKey(root);

    int mismatches = 0;
    auto cycle = [&](DWORD round) {
        HKEY key = OrinOpenKey(HKEY_CURRENT_USER, path.c_str());
        if (key == nullptr) {
            ++mismatches;
            return;
        }
        char text[16];
        std::snprintf(text, sizeof text, "round %05lu", static_cast<unsigned long>(round));
        BYTE read[16];
        if (OrinUpdateKey(key, "Counter", reinterpret_cast<const BYTE*>(&round), sizeof round,
                          REG_DWORD) != 1 ||
            OrinUpdateKey(key, "Text", reinterpret_cast<const BYTE*>(text), sizeof text, REG_SZ) !=
                1 ||
            OrinGetKey(key, "Counter", read, sizeof round) != 1 ||
            std::memcmp(read, &round, sizeof round) != 0 ||
            OrinGetKey(key, "Text", read, sizeof read) != 1 ||
            std::memcmp(read, text, sizeof text) != 0) {
            ++mismatches;
        }
        RegCloseKey(key);
    };

    for (DWORD round = 0; round < 20; ++round) {
        cycle(round);
    }
    const resource_sample before = sample_resources();
    expect_available(before);
    for (DWORD round = 0; round < 1000; ++round) {
        cycle(round);
    }
    const resource_sample after = sample_resources();
    report("1000 registry cycles", before, after);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());

    EXPECT_EQ(0, mismatches);
    EXPECT_EQ("", growth_beyond(before, after, flat));
}

TEST(Soak, ThousandSecretStoreCyclesLeaveResourcesFlat) {
    test_support::lsa_double lsa;
    ASSERT_TRUE(lsa.applied());
    // The double records every open; room for all of them keeps its record off the meter.
    lsa.opens.reserve(2000);
    int mismatches = 0;
    auto cycle = [&](int round) {
        wchar_t value[16];
        std::swprintf(value, 16, L"secret %05d", round);
        wchar_t read[16] = {};
        if (InitializeSecret() != 1 || StoreSecret(L"soak", value) != 1 ||
            GetSecret(L"soak", read, sizeof read) != 0 || std::wcscmp(read, value) != 0) {
            ++mismatches;
        }
        ShutdownSecret();
    };

    for (int round = 0; round < 20; ++round) {
        cycle(round);
    }
    const resource_sample before = sample_resources();
    expect_available(before);
    for (int round = 0; round < 1000; ++round) {
        cycle(round);
    }
    const resource_sample after = sample_resources();
    report("1000 secret-store cycles", before, after);

    EXPECT_EQ(0, mismatches);
    EXPECT_EQ(0, lsa.open_handles());
    EXPECT_EQ(1020, lsa.closes);
    EXPECT_EQ(0, lsa.outstanding());
    EXPECT_EQ(0, lsa.frees_not_wiped);
    EXPECT_EQ("", growth_beyond(before, after, flat));
}
