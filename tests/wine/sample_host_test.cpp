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

// The General page's texts, as samples/host/resource.h numbers them.
constexpr int connection_text = 1103;
constexpr int last_help_text = 1104;

// The applet's General page and its texts, as samples/applet/resource.h numbers them.
constexpr int applet_general_page = 100;
constexpr int applet_connection_text = 1102;

LPCSTR g_refused_template;
decltype(&CreatePropertySheetPageA) g_create_page;
HPROPSHEETPAGE WINAPI refuse_one_page(LPCPROPSHEETPAGEA page) {
    if (page->pszTemplate == g_refused_template) {
        return nullptr;
    }
    return g_create_page(page);
}

// The applet names its service in its resources: the library opens this test's service in its
// stead, with the rights a user is granted.
std::string g_stand_in;
DWORD g_granted;
decltype(&OpenServiceA) g_open_service;
SC_HANDLE WINAPI open_stand_in(SC_HANDLE manager, LPCSTR, DWORD access) {
    if ((access & ~g_granted) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return g_open_service(manager, g_stand_in.c_str(), access);
}

struct applet_sheet {
    std::string tabs; // "" for no sheet
    std::string connection;
    std::string status;
};

// Double-clicks the applet and reads the sheet it shows.
applet_sheet double_click(APPLET_PROC applet) {
    applet_sheet seen;
    drive_sheet(
        "SvcsheetDemo Properties",
        [&] { return static_cast<int>(applet(nullptr, CPL_DBLCLK, 0, 0)); },
        [&](HWND sheet) {
            seen.tabs = tab_texts(sheet);
            seen.status = window_text(GetDlgItem(PropSheet_IndexToHwnd(sheet, 1), IDC_STATUS_TEXT));
            PropSheet_SetCurSel(sheet, nullptr, 0); // created when first shown
            seen.connection =
                window_text(GetDlgItem(PropSheet_IndexToHwnd(sheet, 0), applet_connection_text));
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
        });
    return seen;
}

APPLET_PROC load_applet(HMODULE& module) {
    module = LoadLibraryA(program_beside_this_one("svcdemo.cpl").c_str());
    return module == nullptr ? nullptr
                             : reinterpret_cast<APPLET_PROC>(
                                   reinterpret_cast<void*>(GetProcAddress(module, "CPlApplet")));
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
    std::string before, after, connection;
    if (sheet != nullptr) {
        HWND general = PropSheet_IndexToHwnd(sheet, 0);
        connection = window_text(GetDlgItem(general, connection_text));
        before = window_text(GetDlgItem(general, last_help_text));
        PropSheet_PressButton(sheet, PSBTN_HELP);
        pump_until(
            [&] { return (after = window_text(GetDlgItem(general, last_help_text))) != before; },
            5000);
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    }
    EXPECT_NE(before, after) << "the General page's Help button did nothing";
    EXPECT_NE(std::string::npos, after.find("General")) << after;
    EXPECT_EQ(0u, connection.find("not connected: ")) << connection;

    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "svcprops did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
}

// Whichever page fails, the sheet shows the other and leaves no page waiting: the applet's
// General page points into the frame of the double-click that added it.
TEST(SampleApplet, AFailedPageLeavesNoPageWaiting) {
    HMODULE module = nullptr;
    APPLET_PROC applet = load_applet(module);
    ASSERT_NE(nullptr, applet) << GetLastError();
    for (int refused : {IDD_SERVICE_PAGE, applet_general_page}) {
        SCOPED_TRACE(refused);
        {
            import_patch create("comctl32.dll", "CreatePropertySheetPageA",
                                reinterpret_cast<const void*>(&refuse_one_page));
            ASSERT_TRUE(create.applied());
            g_create_page = create.original<decltype(&CreatePropertySheetPageA)>();
            g_refused_template = MAKEINTRESOURCEA(refused);
            EXPECT_EQ(refused == IDD_SERVICE_PAGE ? "General" : "Service",
                      double_click(applet).tabs);
        }
        EXPECT_EQ("General|Service", double_click(applet).tabs);
    }
    FreeLibrary(module);
}

// A user refused some rights sees the service; one refused it altogether is told so by the
// page. The General page's words hold for both.
TEST(SampleApplet, RefusedUserIsToldWhatThePageShows) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    HMODULE module = nullptr;
    APPLET_PROC applet = load_applet(module);
    ASSERT_NE(nullptr, applet) << GetLastError();
    import_patch open("advapi32.dll", "OpenServiceA",
                      reinterpret_cast<const void*>(&open_stand_in));
    ASSERT_TRUE(open.applied());
    g_open_service = open.original<decltype(&OpenServiceA)>();
    g_stand_in = service.name();

    g_granted = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;
    const applet_sheet fewer_rights = double_click(applet);
    g_granted = 0;
    const applet_sheet refused = double_click(applet);
    FreeLibrary(module);

    EXPECT_EQ("Stopped", fewer_rights.status);
    EXPECT_EQ("Access Denied", refused.status);
    for (const applet_sheet& seen : {fewer_rights, refused}) {
        EXPECT_EQ("Access denied: the page shows what this user may see and do", seen.connection);
    }
}
