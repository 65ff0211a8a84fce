// The Service page's context help and its guard against non-click commands.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "service_fixture.h"
#include "service_page_ids.h"
#include "sheet_driver.h"
#include "svcsheet.h"

#include <gtest/gtest.h>

#include <vector>

using namespace test_support;

namespace {

struct help_call {
    HWND window;
    UINT command;
    DWORD context;
    DWORD reserved;
};
std::vector<help_call> g_help_calls;
constexpr int help_result = 0x4321;

int WINAPI recording_help(HWND window, UINT command, DWORD context, DWORD reserved) {
    g_help_calls.push_back({window, command, context, reserved});
    return help_result;
}

INT_PTR send_help(HWND page, int control_id) {
    HELPINFO info = {};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = control_id;
    info.hItemHandle = GetDlgItem(page, control_id);
    return call_page_proc(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace

TEST(ServicePageHelp, HelpOnEachControlCallsTheCallbackWithItsContextId) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    // Every control of the page with the topic of the host's help file it opens.
    const struct {
        int id;
        DWORD context;
    } topics[] = {
        {IDC_STATUS_GROUP, 0x21001},  {IDC_STATUS_TEXT, 0x21001},
        {IDC_STARTUP_GROUP, 0x23005}, {IDC_START_AUTOMATIC, 0x21003},
        {IDC_START_MANUAL, 0x21004},  {IDC_START_DISABLED, 0x21005},
        {IDC_CONTROL_GROUP, 0x23006}, {IDC_START_SERVICE, 0x21007},
        {IDC_PAUSE_SERVICE, 0x21008}, {IDC_CONTINUE_SERVICE, 0x21009},
        {IDC_STOP_SERVICE, 0x2100A},  {IDC_INTERACT_WITH_DESKTOP, 0x2100B},
    };

    show_service_page(TRUE, recording_help, [&](HWND sheet, HWND page) {
        for (const auto& topic : topics) {
            g_help_calls.clear();
            EXPECT_EQ(help_result, send_help(page, topic.id)) << "control " << topic.id;
            ASSERT_EQ(1u, g_help_calls.size()) << "control " << topic.id;
            EXPECT_EQ(page, g_help_calls[0].window);
            EXPECT_EQ(static_cast<UINT>(HELP_CONTEXTPOPUP), g_help_calls[0].command);
            EXPECT_EQ(topic.context, g_help_calls[0].context) << "control " << topic.id;
            EXPECT_EQ(0u, g_help_calls[0].reserved);
        }

        // Ids the page does not have get no help, and the callback is not called.
        g_help_calls.clear();
        for (int id : {0, 1004, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1020, IDOK}) {
            EXPECT_EQ(FALSE, send_help(page, id)) << "control " << id;
        }
        EXPECT_TRUE(g_help_calls.empty()) << "called for context " << g_help_calls[0].context;
        close_sheet(sheet);
    });
}

TEST(ServicePageHelp, SheetHelpButtonCallsTheCallbackForThePage) {
    g_help_calls.clear();
    SetHasHelp();
    show_service_page(FALSE, recording_help, [&](HWND sheet, HWND page) {
        PropSheet_PressButton(sheet, PSBTN_HELP);
        EXPECT_TRUE(pump_until([] { return !g_help_calls.empty(); }, 2000));
        ASSERT_EQ(1u, g_help_calls.size());
        EXPECT_EQ(page, g_help_calls[0].window);
        EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), g_help_calls[0].command);
        EXPECT_EQ(0x23000u, g_help_calls[0].context);
        EXPECT_EQ(0u, g_help_calls[0].reserved);
        close_sheet(sheet);
    });
}

TEST(ServicePageHelp, ALaterPageWithoutACallbackGivesNoHelp) {
    SetHasHelp();
    // The first page's callback is replaced by the second call's null one.
    show_service_page(FALSE, recording_help, [&](HWND sheet, HWND) { close_sheet(sheet); });
    g_help_calls.clear();
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ(FALSE, send_help(page, IDC_STOP_SERVICE));
        PropSheet_PressButton(sheet, PSBTN_HELP);
        pump_messages(200);
        close_sheet(sheet);
    });
    EXPECT_TRUE(g_help_calls.empty()) << "called for context " << g_help_calls[0].context;
}

TEST(ServicePageCommands, CommandsWithANonZeroHighWordDoNothing) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        for (int id :
             {IDC_STOP_SERVICE, IDC_PAUSE_SERVICE, IDC_START_DISABLED, IDC_INTERACT_WITH_DESKTOP}) {
            for (WORD code : {WORD(BN_DBLCLK), WORD(BN_SETFOCUS), WORD(0xFFFF)}) {
                EXPECT_EQ(FALSE, call_page_proc(page, WM_COMMAND, MAKEWPARAM(id, code),
                                                reinterpret_cast<LPARAM>(GetDlgItem(page, id))))
                    << "control " << id << ", code " << code;
            }
        }
        pump_messages(300);
        EXPECT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.state());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, 0x3021))) << "Apply lit up";
        close_sheet(sheet);
    });
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service.config().start_type);
}
