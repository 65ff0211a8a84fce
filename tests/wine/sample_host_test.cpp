// The sample host svcprops, run as its own process and driven from outside as a user would.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "child_process.h"
#include "service_fixture.h"
#include "sheet_driver.h"

#include <gtest/gtest.h>

#include <string>

using namespace test_support;

namespace {

// The General page's "last help request" text, as samples/host/resource.h numbers it.
constexpr int last_help_text = 1104;

} // namespace

// SetHasHelp gives the host's own General page a Help button as well: it must do something.
TEST(SampleHost, GeneralPageHelpButtonShowsTheRequestOnThePage) {
    const std::string caption = "svcprops help " + std::to_string(GetCurrentProcessId());
    std::string command = "\"" + program_beside_this_one("svcprops.exe") + "\" " +
                          missing_service_name() + " --caption \"" + caption + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    CloseHandle(process.hThread);

    HWND sheet = nullptr;
    EXPECT_TRUE(pump_until(
        [&] { return (sheet = FindWindowA(nullptr, caption.c_str())) != nullptr; }, 20000))
        << "svcprops showed no sheet";
    std::string before, after;
    if (sheet != nullptr) {
        HWND general = PropSheet_IndexToHwnd(sheet, 0);
        before = window_text(GetDlgItem(general, last_help_text));
        PropSheet_PressButton(sheet, PSBTN_HELP);
        pump_until(
            [&] { return (after = window_text(GetDlgItem(general, last_help_text))) != before; },
            5000);
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    }
    EXPECT_NE(before, after) << "the General page's Help button did nothing";
    EXPECT_NE(std::string::npos, after.find("General")) << after;

    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "svcprops did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
}
