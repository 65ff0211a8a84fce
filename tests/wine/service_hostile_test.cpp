// Hostile input to the service exports and the Service page: bad names, calls out of order,
// odd flags and messages no user could send.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "service_fixture.h"
#include "service_page_ids.h"
#include "sheet_driver.h"
#include "svcsheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support;

namespace {

constexpr int page_controls[] = {IDC_START_AUTOMATIC, IDC_START_MANUAL,     IDC_START_DISABLED,
                                 IDC_START_SERVICE,   IDC_CONTINUE_SERVICE, IDC_PAUSE_SERVICE,
                                 IDC_STOP_SERVICE};

int g_help_calls;

int WINAPI counting_help(HWND, UINT, DWORD, DWORD) {
    ++g_help_calls;
    return 1;
}

std::string enabled_controls(HWND page) {
    std::string ids;
    for (int id : page_controls) {
        if (item_enabled(page, id)) {
            ids += std::to_string(id) + " ";
        }
    }
    return ids;
}

INT_PTR notify(HWND sheet, HWND page, UINT code) {
    PSHNOTIFY note = {};
    note.hdr.hwndFrom = sheet;
    note.hdr.code = code;
    return call_page_proc(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

// Every way a host or a stray message can poke the page: each must neither crash nor change
// what the page shows.
void poke_everything(HWND sheet, HWND page) {
    for (int id : {IDC_START_MANUAL, IDC_START_SERVICE, IDC_CONTINUE_SERVICE, IDC_PAUSE_SERVICE,
                   IDC_STOP_SERVICE, IDC_INTERACT_WITH_DESKTOP}) {
        call_page_proc(page, WM_COMMAND, id, reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
    }
    for (WPARAM timer : {WPARAM(1), WPARAM(0), WPARAM(0xFFFF)}) {
        EXPECT_EQ(TRUE, call_page_proc(page, WM_TIMER, timer, 0)) << "timer " << timer;
    }
    notify(sheet, page, PSN_APPLY);
    notify(sheet, page, PSN_HELP);
    notify(sheet, page, PSN_RESET);
    EXPECT_EQ(FALSE, call_page_proc(page, WM_NOTIFY, 0, 0)) << "WM_NOTIFY without its header";
    EXPECT_EQ(FALSE, call_page_proc(page, WM_HELP, 0, 0)) << "WM_HELP without its HELPINFO";
    pump_messages(250);
}

} // namespace

TEST(HostileServiceInput, BadServiceNamesFailAndLeaveNoConnection) {
    const std::string long_name(300, 'n');
    const std::vector<std::string> odd_names = {
        "",         long_name,          "..\\svcsheet",
        "%s%s%n%x", "\x01\x7f\xff\xfe", "HKLM\\System\\CurrentControlSet\\Services",
        "*",
    };
    for (const std::string& name : odd_names) {
        SCOPED_TRACE("name of " + std::to_string(name.size()) + " characters: " + name);
        test_service real;
        ASSERT_TRUE(real.created()) << real.create_error();
        // A failed connection also drops the one before it.
        ASSERT_EQ(1, InitServiceControl(real.name().c_str()));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(0, InitServiceControl(name.c_str()));
        const DWORD error = GetLastError();
        EXPECT_NE(0xdeadbeefu, error);
        EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), error);
        ASSERT_TRUE(real.remove()) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(real.name()))
            << "the library still holds the previous service";
    }

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, InitServiceControl(nullptr));
    EXPECT_NE(0xdeadbeefu, GetLastError());
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Not Installed", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ("", enabled_controls(page));
        close_sheet(sheet);
    });
}

TEST(HostileServiceInput, DeInitTwiceOrWithoutConnectionIsHarmlessAndInitStillWorks) {
    DeInitServiceControl();
    DeInitServiceControl();

    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    DeInitServiceControl();
    DeInitServiceControl();
    EXPECT_TRUE(service.remove()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(service.name()));

    test_service again;
    ASSERT_TRUE(again.created()) << again.create_error();
    EXPECT_EQ(1, InitServiceControl(again.name().c_str()));
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        close_sheet(sheet);
    });
    DeInitServiceControl();
}

// The host forgot InitServiceControl: the page must stay inert whatever reaches it.
TEST(HostileServiceInput, PageAddedBeforeInitStaysInertUnderEveryCommandAndNotification) {
    test_service bystander(service_options().args("accept=3"));
    ASSERT_TRUE(bystander.created()) << bystander.create_error();
    ASSERT_TRUE(bystander.start()) << "state " << bystander.state();

    for (SVCSHEET_HELP_CALLBACK help : {SVCSHEET_HELP_CALLBACK(nullptr), &counting_help}) {
        SCOPED_TRACE(help == nullptr ? "no help callback" : "with a help callback");
        g_help_calls = 0;
        std::string status, enabled;
        bool box_visible = true;
        const int result = [&] {
            if (AddServiceControlPage(FALSE, help) != 0) {
                ADD_FAILURE() << "AddServiceControlPage refused the page";
                return -2;
            }
            return run_sheet("Service test", 0, [&](HWND sheet) {
                HWND page = service_page(sheet);
                poke_everything(sheet, page);
                status = item_text(page, IDC_STATUS_TEXT);
                enabled = enabled_controls(page);
                box_visible = item_visible(page, IDC_INTERACT_WITH_DESKTOP);
                PropSheet_PressButton(sheet, PSBTN_OK);
            });
        }();
        EXPECT_FALSE(sheet_left_open());
        EXPECT_GE(result, 0) << "DoDialog failed";
        EXPECT_EQ("Not Installed", status);
        EXPECT_EQ("", enabled);
        EXPECT_FALSE(box_visible);
        // Help still works without a connection; it is the host's file, not the service's.
        EXPECT_EQ(help == nullptr ? 0 : 1, g_help_calls);
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), bystander.state());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), bystander.config().start_type);
}

TEST(HostileServiceInput, ShowFlagsOtherThanZeroOrOneShowTheBoxAndWriteTheInteractiveBit) {
    for (BOOL flag : {BOOL(2), BOOL(SW_SHOWMAXIMIZED), BOOL(-1), BOOL(0x7FFFFFFF)}) {
        SCOPED_TRACE("show flag " + std::to_string(flag));
        test_service service;
        ASSERT_TRUE(service.created()) << service.create_error();
        ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
        bool visible = false, enabled = false, zoomed = true;
        RECT box = {}, page_rect = {};
        show_service_page(flag, nullptr, [&](HWND sheet, HWND page) {
            HWND check_box = GetDlgItem(page, IDC_INTERACT_WITH_DESKTOP);
            visible = IsWindowVisible(check_box) != FALSE;
            enabled = IsWindowEnabled(check_box) != FALSE;
            zoomed = IsZoomed(check_box) != FALSE;
            GetWindowRect(check_box, &box);
            GetWindowRect(page, &page_rect);
            click(page, IDC_INTERACT_WITH_DESKTOP);
            PropSheet_PressButton(sheet, PSBTN_OK);
        });
        EXPECT_TRUE(visible);
        EXPECT_TRUE(enabled);
        EXPECT_FALSE(zoomed);
        EXPECT_LT(box.right - box.left, page_rect.right - page_rect.left)
            << "the box fills the page";
        EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS),
                  service.config().service_type);
        DeInitServiceControl();
    }
}

TEST(HostileServiceInput, HelpForUnmappedControlsAndMenuItemsCallsNothing) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    g_help_calls = 0;
    show_service_page(FALSE, counting_help, [&](HWND sheet, HWND page) {
        auto ask = [&](int context_type, int id) {
            HELPINFO info = {};
            info.cbSize = sizeof info;
            info.iContextType = context_type;
            info.iCtrlId = id;
            return call_page_proc(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        };
        for (int id : {-1, 0x7FFFFFFF, int(0x80000000), 0xFFFF, 0x10000 + IDC_STOP_SERVICE}) {
            EXPECT_EQ(FALSE, ask(HELPINFO_WINDOW, id)) << "control " << id;
        }
        // A menu item whose id happens to be a control's is still no control.
        for (int id : {IDC_STOP_SERVICE, IDC_STATUS_TEXT, IDC_INTERACT_WITH_DESKTOP}) {
            EXPECT_EQ(FALSE, ask(HELPINFO_MENUITEM, id)) << "menu item " << id;
        }
        EXPECT_EQ(FALSE, call_page_proc(page, WM_HELP, 0, 0));
        EXPECT_EQ(0, g_help_calls);
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        close_sheet(sheet);
    });
}
