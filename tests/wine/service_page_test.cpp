// The Service page against Wine's real service manager: connection, template, live status and
// the Start/Stop/Pause/Continue buttons.
#include <windows.h>

#include "allocation_counter.h"
#include "child_process.h"
#include "dialog_template.h"
#include "service_fixture.h"
#include "sheet_driver.h"
#include "service_page_ids.h"
#include "svcsheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace test_support;

namespace {

constexpr int all_page_buttons[] = {
    IDC_START_AUTOMATIC,  IDC_START_MANUAL,  IDC_START_DISABLED, IDC_START_SERVICE,
    IDC_CONTINUE_SERVICE, IDC_PAUSE_SERVICE, IDC_STOP_SERVICE,   IDC_INTERACT_WITH_DESKTOP};

// Reads the page once; everything a user could see of it.
struct page_look {
    std::string status;
    std::string buttons;
    std::string start_types_enabled;
    std::string start_types_checked;
};

page_look look(HWND page) {
    return {item_text(page, IDC_STATUS_TEXT), enabled_buttons(page), enabled_start_types(page),
            checked_start_types(page)};
}

// Shows the Service page of the connected service, without the interaction setting, and
// reads it.
page_look look_at_connected() {
    page_look seen;
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        seen = look(page);
        close_sheet(sheet);
    });
    return seen;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// Test-service arguments that do nothing, about length characters of them: a long image path.
std::string padding(std::size_t length) {
    std::string arguments;
    while (arguments.size() < length) {
        arguments += "start_ms=0 ";
    }
    return arguments;
}

struct template_item {
    WORD id;
    WORD class_atom;
    std::string text;
    DWORD style;
    short x, y, cx, cy;
};

bool operator==(const template_item& a, const template_item& b) {
    return a.id == b.id && a.class_atom == b.class_atom && a.text == b.text && a.style == b.style &&
           a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

std::ostream& operator<<(std::ostream& out, const template_item& item) {
    return out << "{" << item.id << ", class 0x" << std::hex << item.class_atom << ", \""
               << item.text << "\", style 0x" << item.style << std::dec << ", " << item.x << ", "
               << item.y << ", " << item.cx << ", " << item.cy << "}";
}

} // namespace

TEST(ServiceConnection, MissingServiceFailsWithItsErrorAndLeavesThePageInert) {
    const std::string missing = missing_service_name();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, InitServiceControl(missing.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());

    for (BOOL show_interaction : {FALSE, TRUE}) {
        SCOPED_TRACE(show_interaction ? "interaction shown" : "interaction hidden");
        std::string status_at_open, status_later;
        std::vector<int> enabled_at_open, enabled_later;
        bool box_visible = !show_interaction;
        show_service_page(show_interaction, nullptr, [&](HWND sheet, HWND page) {
            auto enabled = [&] {
                std::vector<int> ids;
                for (int id : all_page_buttons) {
                    if (item_enabled(page, id)) {
                        ids.push_back(id);
                    }
                }
                return ids;
            };
            status_at_open = item_text(page, IDC_STATUS_TEXT);
            enabled_at_open = enabled();
            box_visible = item_visible(page, IDC_INTERACT_WITH_DESKTOP);
            pump_messages(350); // a few timer ticks change nothing
            status_later = item_text(page, IDC_STATUS_TEXT);
            enabled_later = enabled();
            close_sheet(sheet);
        });
        EXPECT_EQ("Not Installed", status_at_open);
        EXPECT_EQ("Not Installed", status_later);
        EXPECT_TRUE(enabled_at_open.empty()) << "first enabled: " << enabled_at_open.front();
        EXPECT_TRUE(enabled_later.empty()) << "first enabled: " << enabled_later.front();
        // Shown as asked, yet disabled like everything else: Apply would have nothing to
        // write it to.
        EXPECT_EQ(show_interaction != FALSE, box_visible);
    }
    DeInitServiceControl();
    DeInitServiceControl(); // harmless without a connection
}

TEST(ServiceConnection, EachInitReleasesThePreviousConnectionAndDeInitReleasesTheLast) {
    test_service first, second(service_options().start(SERVICE_DISABLED)), third;
    ASSERT_TRUE(first.created()) << first.create_error();
    ASSERT_TRUE(second.created()) << second.create_error();
    ASSERT_TRUE(third.created()) << third.create_error();

    // A deleted service stays while any handle to it is open, so its name is gone only once
    // the library has let go of its handle too.
    ASSERT_EQ(1, InitServiceControl(first.name().c_str()));
    ASSERT_EQ(1, InitServiceControl(second.name().c_str()));
    ASSERT_TRUE(first.remove());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(first.name()));

    page_look seen = look_at_connected();
    EXPECT_EQ("Stopped", seen.status);
    EXPECT_EQ("Disabled", seen.start_types_checked);

    ASSERT_TRUE(second.remove());
    EXPECT_NE(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(second.name()))
        << "the library's handle keeps the service";
    const std::string missing = missing_service_name();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, InitServiceControl(missing.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(second.name()));
    EXPECT_EQ("Not Installed", look_at_connected().status);

    ASSERT_EQ(1, InitServiceControl(third.name().c_str()));
    ASSERT_TRUE(third.remove());
    EXPECT_NE(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(third.name()));
    DeInitServiceControl();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(third.name()));
}

// At process exit the loader passes a non-null reserved pointer: the system closes the
// handles then, and closing them under the loader lock could hang the exit. FreeLibrary passes
// null, and the connection must go with the library.
TEST(ServiceConnection, ProcessDetachReleasesTheConnectionOnlyWhenTheLibraryIsFreed) {
    HMODULE library = GetModuleHandleA("svcsheet.dll");
    auto entry = test_support::exported_dll_main(library);
    ASSERT_NE(nullptr, entry);
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    const std::string name = service.name();
    ASSERT_EQ(1, InitServiceControl(name.c_str()));
    ASSERT_TRUE(service.remove()) << GetLastError();

    EXPECT_TRUE(entry(library, DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1)));
    EXPECT_NE(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(name))
        << "the connection was released at process exit";
    EXPECT_TRUE(entry(library, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(name))
        << "unloading the library left the connection open";
}

TEST(ServiceConnection, ProcessEndingWithTheConnectionOpenExitsAndLetsTheServiceGo) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    const std::string name = service.name();
    // Returns once the program has ended.
    const std::string output =
        run_and_capture("\"" + program_beside_this_one("svcsheet_test_service.exe") +
                        "\" --exit-connected " + name);
    EXPECT_EQ(0u, output.find("connected")) << output;
    ASSERT_TRUE(service.remove()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(name))
        << "the ended process still holds the service";
}

TEST(ServicePageTemplate, Dialog106IsLaidOutAsDesigned) {
    const dialog_template page =
        read_dialog_template(GetModuleHandleA("svcsheet.dll"), IDD_SERVICE_PAGE,
                             MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_TRUE(page.read) << "no US English dialog 106, or an extended template";
    const DLGTEMPLATE* dialog = page.header;
    EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT), dialog->style);
    EXPECT_EQ(0u, dialog->dwExtendedStyle);
    EXPECT_EQ(0, dialog->x);
    EXPECT_EQ(0, dialog->y);
    EXPECT_EQ(210, dialog->cx);
    EXPECT_EQ(168, dialog->cy);
    EXPECT_FALSE(page.has_menu) << "menu";
    EXPECT_FALSE(page.has_class) << "window class";
    EXPECT_EQ("Service", narrow(page.caption));
    EXPECT_EQ(8, page.point_size) << "font size";
    EXPECT_EQ("MS Sans Serif", narrow(page.face));

    constexpr WORD button = 0x0080, static_class = 0x0082;
    constexpr DWORD shown = WS_CHILD | WS_VISIBLE;
    const std::vector<template_item> expected = {
        {1017, button, "Service Status", shown | BS_GROUPBOX, 5, 5, 200, 25},
        {1000, static_class, "Not Installed", shown | SS_CENTER | WS_GROUP, 10, 15, 190, 8},
        {1018, button, "Startup T&ype", shown | BS_GROUPBOX, 5, 35, 200, 35},
        // A tab stop, or Windows' dialog manager never takes the keyboard into the group.
        {1001, button, "Automatic",
         shown | BS_AUTORADIOBUTTON | WS_DISABLED | WS_GROUP | WS_TABSTOP, 15, 50, 47, 10},
        {1002, button, "Manual", shown | BS_AUTORADIOBUTTON | WS_DISABLED, 89, 50, 39, 10},
        {1003, button, "Disabled", shown | BS_AUTORADIOBUTTON | WS_DISABLED, 155, 50, 43, 10},
        {1019, button, "Service Control", shown | BS_GROUPBOX | WS_GROUP, 5, 75, 200, 55},
        {1005, button, "&Start", shown | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 10, 90, 80, 14},
        {1006, button, "&Continue", shown | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 10, 110, 80,
         14},
        {1007, button, "&Pause", shown | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 120, 90, 80, 14},
        {1008, button, "S&top", shown | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 120, 110, 80, 14},
        {1016, button, "Allow service to &interact with desktop",
         shown | BS_AUTOCHECKBOX | WS_DISABLED | WS_GROUP | WS_TABSTOP, 35, 135, 138, 10},
    };
    ASSERT_EQ(expected.size(), page.controls.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const dialog_control& item = page.controls[i];
        template_item got = {item.id, item.class_atom, "",      item.style,
                             item.x,  item.y,          item.cx, item.cy};
        if (item.class_atom == 0) {
            got.text = "(class " + narrow(item.class_name) + ")";
        }
        got.text += narrow(item.text);
        EXPECT_EQ(0u, item.ex_style) << "control " << item.id;
        EXPECT_EQ(expected[i], got);
    }
}

TEST(ServiceStatus, StoppedServiceOffersStartUnlessItIsDisabled) {
    test_service manual, disabled(service_options().start(SERVICE_DISABLED));
    ASSERT_TRUE(manual.created()) << manual.create_error();
    ASSERT_TRUE(disabled.created()) << disabled.create_error();

    ASSERT_EQ(1, InitServiceControl(manual.name().c_str()));
    page_look seen;
    std::string reenabled;
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        seen = look(page);
        // Disabled from outside the page (the host, an accessibility tool): the refresh offers
        // them again.
        for (int id : {IDC_START_AUTOMATIC, IDC_START_MANUAL, IDC_START_DISABLED}) {
            EnableWindow(GetDlgItem(page, id), FALSE);
        }
        pump_until(
            [&] { return (reenabled = enabled_start_types(page)) == seen.start_types_enabled; },
            2000);
        close_sheet(sheet);
    });
    EXPECT_EQ("Stopped", seen.status);
    EXPECT_EQ("Start", seen.buttons);
    EXPECT_EQ("Automatic|Manual|Disabled", seen.start_types_enabled);
    EXPECT_EQ("Manual", seen.start_types_checked);
    EXPECT_EQ("Automatic|Manual|Disabled", reenabled);

    ASSERT_EQ(1, InitServiceControl(disabled.name().c_str()));
    seen = look_at_connected();
    EXPECT_EQ("Stopped", seen.status);
    EXPECT_EQ("", seen.buttons);
    EXPECT_EQ("Automatic|Manual|Disabled", seen.start_types_enabled);
    EXPECT_EQ("Disabled", seen.start_types_checked);
}

// Service wrappers carry image paths of several kilobytes: past the 8 KiB the platform
// documents, the configuration is read all the same.
TEST(ServiceConnection, LongConfigurationConnectsAndShowsItsState) {
    for (std::size_t length : {5000u, 12000u}) {
        SCOPED_TRACE("an image path of about " + std::to_string(length) + " characters");
        test_service service(service_options().args(padding(length)).start(SERVICE_DISABLED));
        ASSERT_TRUE(service.created()) << service.create_error();
        ASSERT_EQ(1, InitServiceControl(service.name().c_str())) << GetLastError();
        const page_look seen = look_at_connected();
        EXPECT_EQ("Stopped", seen.status);
        // Start is offered also where the start type cannot be read: only a read that worked
        // withholds it.
        EXPECT_EQ("", seen.buttons);
        EXPECT_EQ("Disabled", seen.start_types_checked);
    }
    DeInitServiceControl();
}

TEST(ServiceStatus, RunningServiceOffersOnlyTheControlsItAccepts) {
    struct expectation {
        const char* arguments;
        const char* buttons;
    };
    for (const expectation& e : {expectation{"accept=3", "Pause|Stop"},
                                 expectation{"accept=1", "Stop"}, expectation{"accept=0", ""}}) {
        SCOPED_TRACE(e.arguments);
        test_service running(service_options().args(e.arguments));
        ASSERT_TRUE(running.created()) << running.create_error();
        ASSERT_TRUE(running.start()) << "state " << running.state();
        ASSERT_EQ(1, InitServiceControl(running.name().c_str()));
        page_look seen = look_at_connected();
        EXPECT_EQ("Running", seen.status);
        EXPECT_EQ(e.buttons, seen.buttons);
    }
}

TEST(ServiceStatus, PausedServiceOffersContinueAndStop) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_TRUE(service.control(SERVICE_CONTROL_PAUSE)) << GetLastError();
    ASSERT_TRUE(service.wait_for_state(SERVICE_PAUSED, 5000)) << "state " << service.state();

    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    page_look seen = look_at_connected();
    EXPECT_EQ("Paused", seen.status);
    EXPECT_EQ("Continue|Stop", seen.buttons);
}

TEST(ServiceControl, StopShowsStopPendingThenStoppedAndStartBringsItBack) {
    test_service service(service_options().args("accept=3 stop_ms=600 start_ms=600"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        click(page, IDC_STOP_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Stop Pending"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("", enabled_buttons(page));
        EXPECT_TRUE(wait_for_status(page, "Stopped"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Start", enabled_buttons(page));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.state());

        click(page, IDC_START_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Start Pending"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Stop", enabled_buttons(page));
        EXPECT_TRUE(wait_for_status(page, "Running"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Pause|Stop", enabled_buttons(page));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.state());
        close_sheet(sheet);
    });
}

TEST(ServiceControl, PauseAndContinueShowTheirPendingStates) {
    test_service service(service_options().args("accept=3 pause_ms=600 continue_ms=600"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_PAUSE_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Pause Pending"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Continue|Stop", enabled_buttons(page));
        EXPECT_TRUE(wait_for_status(page, "Paused"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Continue|Stop", enabled_buttons(page));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), service.state());

        click(page, IDC_CONTINUE_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Continue Pending"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Pause|Stop", enabled_buttons(page));
        EXPECT_TRUE(wait_for_status(page, "Running"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.state());
        close_sheet(sheet);
    });
}

// A stopped service's refresh reads its configuration on every tick (the user may start it);
// one larger than the stack's buffer goes into the buffer the connection keeps, which DeInit
// frees.
TEST(ServiceStatus, RefreshTicksOfALongConfigurationAllocateNothingAndDeInitFreesIt) {
    test_service service(service_options().args(padding(12000)));
    ASSERT_TRUE(service.created()) << service.create_error();
    test_support::allocation_counter allocations;
    ASSERT_FALSE(allocations.counted().empty())
        << "found none of the allocators among the library's imports";
    ASSERT_EQ(1, InitServiceControl(service.name().c_str())) << GetLastError();
    long by_ticks = -1;
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        const long before = allocations.count();
        for (int tick = 0; tick < 50; ++tick) {
            EXPECT_EQ(TRUE, call_page_proc(page, WM_TIMER, 1, 0));
        }
        by_ticks = allocations.count() - before;
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ("Start", enabled_buttons(page));
        close_sheet(sheet);
    });
    EXPECT_EQ(0, by_ticks) << "counted through " << allocations.counted();
    EXPECT_GE(allocations.count(), 1) << "the configuration fitted the stack's buffer";
    DeInitServiceControl();
    EXPECT_EQ(allocations.count(), allocations.frees()) << "blocks the library still holds";
}
