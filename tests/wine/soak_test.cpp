// Soaks: many sheets, registry, secret-store and service-connection cycles, and a Service
// page through thousands of refreshes, with what the process holds measured before and after.
#include <windows.h>
#include <prsht.h>

#include "svcsheet.h"
#include "lsa_double.h"
#include "service_fixture.h"
#include "service_page_ids.h"
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
        char text[16] = {}; // all 16 bytes are written and compared
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

namespace {

// One round of the service through every state the page can settle on, driven from outside
// the page; after each step the page's next refresh must show it.
struct state_step {
    DWORD control; // 0: start
    DWORD state;
    const char* text;
};
constexpr state_step state_round[] = {
    {SERVICE_CONTROL_PAUSE, SERVICE_PAUSED, "Paused"},
    {SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING, "Running"},
    {SERVICE_CONTROL_STOP, SERVICE_STOPPED, "Stopped"},
    {0, SERVICE_RUNNING, "Running"},
};

} // namespace

TEST(Soak, ServicePageThroughFiveThousandRefreshesWhileTheServiceChangesStateStaysFlat) {
    test_support::test_service service(test_support::service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    constexpr int ticks = 5000;
    constexpr int ticks_per_step = 125;
    int refreshes = 0, mismatches = 0, steps = 0;
    std::string first_mismatch;
    resource_sample before = {}, after = {};
    test_support::show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        // Ticks are sent here rather than waited for; the page's own timer adds a few more.
        auto run = [&](int count, bool counted) {
            for (int tick = 0; tick < count; ++tick) {
                if (tick % ticks_per_step == 0) {
                    const state_step& step = state_round[steps++ % 4];
                    const bool done = step.control == 0
                                          ? StartServiceA(service.handle(), 0, nullptr)
                                          : service.control(step.control);
                    if (!done || !service.wait_for_state(step.state, 5000)) {
                        ++mismatches;
                        first_mismatch += "step to " + std::string(step.text) + " failed; ";
                    }
                    SendMessageA(page, WM_TIMER, 1, 0);
                    const std::string shown = test_support::item_text(page, IDC_STATUS_TEXT);
                    if (shown != step.text) {
                        ++mismatches;
                        first_mismatch += "showed " + shown + " for " + step.text + "; ";
                    }
                }
                SendMessageA(page, WM_TIMER, 1, 0);
                refreshes += counted ? 1 : 0;
            }
        };
        run(2 * 4 * ticks_per_step, false); // two rounds of warm-up
        before = sample_resources();
        run(ticks, true);
        after = sample_resources();
        test_support::close_sheet(sheet);
    });
    report("Service page, 5000 refreshes", before, after);
    expect_available(before);
    EXPECT_EQ(ticks, refreshes);
    EXPECT_GE(steps, ticks / ticks_per_step);
    EXPECT_EQ(0, mismatches) << first_mismatch;
    EXPECT_EQ("", growth_beyond(before, after, flat));
    DeInitServiceControl();
}

TEST(Soak, ThousandServiceConnectionCyclesLeaveResourcesFlat) {
    test_support::test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    int failures = 0;
    auto cycle = [&] {
        failures += InitServiceControl(service.name().c_str()) == 1 ? 0 : 1;
        DeInitServiceControl();
    };
    for (int round = 0; round < 20; ++round) {
        cycle();
    }
    const resource_sample before = sample_resources();
    expect_available(before);
    for (int round = 0; round < 1000; ++round) {
        cycle();
    }
    const resource_sample after = sample_resources();
    report("1000 service connection cycles", before, after);
    EXPECT_EQ(0, failures);
    EXPECT_EQ("", growth_beyond(before, after, flat));
    // Not one service handle of the thousand is still open: the deleted service goes at once.
    const std::string name = service.name();
    ASSERT_TRUE(service.remove()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST),
              test_support::open_service_error(name));
}

TEST(Soak, FiftyServicePagesShownAndClosedLeaveResourcesFlat) {
    test_support::test_service service(test_support::service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    int shown_running = 0;
    auto show = [&](int round) {
        test_support::show_service_page(round % 2, nullptr, [&](HWND sheet, HWND page) {
            shown_running += test_support::item_text(page, IDC_STATUS_TEXT) == "Running" ? 1 : 0;
            PropSheet_PressButton(sheet, round % 3 == 0 ? PSBTN_OK : PSBTN_CANCEL);
        });
    };
    for (int round = 0; round < 5; ++round) {
        show(round);
    }
    const resource_sample before = sample_resources();
    shown_running = 0;
    for (int round = 0; round < 50; ++round) {
        show(round);
    }
    const resource_sample after = sample_resources();
    report("50 Service pages", before, after);
    EXPECT_EQ(50, shown_running);
    EXPECT_EQ("", growth_beyond(before, after, flat));
    DeInitServiceControl();
}
