// The sample host svcprops, run as its own process and driven from outside as a user would.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <cpl.h>

#include "child_process.h"
#include "service_page_ids.h"
#include "service_fixture.h"
#include "sheet_driver.h"

#include <gtest/gtest.h>

#include <string>

using namespace test_support;

namespace {

// The General page's "last help request" text, as samples/host/resource.h numbers it.
constexpr int last_help_text = 1104;

decltype(&CreatePropertySheetPageA) g_create_page;
HPROPSHEETPAGE WINAPI refuse_service_page(LPCPROPSHEETPAGEA page) {
    if (page->pszTemplate == MAKEINTRESOURCEA(IDD_SERVICE_PAGE)) {
        return nullptr;
    }
    return g_create_page(page);
}

// Double-clicks the applet and returns the tabs its sheet showed ("" for no sheet).
std::string double_click(APPLET_PROC applet) {
    std::string tabs;
    drive_sheet(
        "SvcsheetDemo Properties",
        [&] { return static_cast<int>(applet(nullptr, CPL_DBLCLK, 0, 0)); },
        [&](HWND sheet) {
            tabs = tab_texts(sheet);
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
        });
    return tabs;
}

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

// The applet's General page points into the frame of the double-click that added it: a failed
// Service page must not leave it waiting for the next sheet.
TEST(SampleApplet, FailedServicePageLeavesNoPageWaiting) {
    HMODULE module = LoadLibraryA(program_beside_this_one("svcdemo.cpl").c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    auto applet =
        reinterpret_cast<APPLET_PROC>(reinterpret_cast<void*>(GetProcAddress(module, "CPlApplet")));
    ASSERT_NE(nullptr, applet);
    std::string refused;
    {
        import_patch create("comctl32.dll", "CreatePropertySheetPageA",
                            reinterpret_cast<const void*>(&refuse_service_page));
        ASSERT_TRUE(create.applied());
        g_create_page = create.original<decltype(&CreatePropertySheetPageA)>();
        refused = double_click(applet);
    }
    EXPECT_EQ("General", refused);
    EXPECT_EQ("General|Service", double_click(applet));
    FreeLibrary(module);
}
