// svcdemo.cpl: a control-panel applet built on svcsheet.dll. Opened, it shows a
// "General" page of its own and the library's Service page for the service its
// string table names (IDS_SERVICE), or for the demo service when it names none.
#include <windows.h>
#include <cpl.h>
#include <prsht.h>

#include "svcsheet.h"
#include "resource.h"

namespace {

constexpr char demo_service[] = "SvcsheetDemo";
constexpr UINT service_page = 1; // the sheet opens on the Service page

HINSTANCE g_instance;

struct general_info {
    char service[257];
    const char* connection;
};

// InitServiceControl's answer in words that hold whatever the page then shows: a user refused
// some rights still sees the service, one refused it altogether does not.
const char* describe_connection(int connected, DWORD error) {
    if (connected != 0) {
        return "Connected";
    }
    return error == ERROR_ACCESS_DENIED
               ? "Access denied: the page shows what this user may see and do"
               : "Not connected: the service cannot be opened";
}

INT_PTR CALLBACK general_page_proc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    const auto* sheet_page = reinterpret_cast<const PROPSHEETPAGEA*>(lparam);
    const auto* info = reinterpret_cast<const general_info*>(sheet_page->lParam);
    SetDlgItemTextA(page, IDC_SERVICE_NAME, info->service);
    SetDlgItemTextA(page, IDC_CONNECTION, info->connection);
    return TRUE;
}

LONG show_sheet(HWND parent) {
    general_info info{};
    if (LoadStringA(g_instance, IDS_SERVICE, info.service, sizeof info.service) == 0) {
        lstrcpynA(info.service, demo_service, sizeof info.service);
    }
    // Without a connection the Service page says why: show it all the same.
    const int connected = InitServiceControl(info.service);
    info.connection = describe_connection(connected, GetLastError());

    char caption[300];
    wsprintfA(caption, "%s Properties", info.service);
    // Whatever was added is shown, so a failed add leaves no page waiting for a later sheet
    // (the General page would point into this returned frame).
    const int general = AddTabbedPageParam(g_instance, MAKEINTRESOURCEA(IDD_GENERAL),
                                           general_page_proc, reinterpret_cast<LPARAM>(&info));
    const int service = AddServiceControlPage(TRUE, nullptr);
    if (general >= 0 || service >= 0) {
        DoDialog(parent, caption, general >= 0 && service >= 0 ? service_page : 0);
    }
    DeInitServiceControl(); // the sheet has closed: release the service
    return 0;
}

void describe(NEWCPLINFOA& info) {
    info.dwSize = sizeof info;
    info.dwFlags = 0;
    info.dwHelpContext = 0;
    info.lData = 0;
    info.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_SVCDEMO));
    LoadStringA(g_instance, IDS_NAME, info.szName, sizeof info.szName);
    LoadStringA(g_instance, IDS_INFO, info.szInfo, sizeof info.szInfo);
    info.szHelpFile[0] = '\0';
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
    }
    return TRUE;
}

// The control panel's one entry point; it returns 0 for "handled" except where noted.
extern "C" LONG APIENTRY CPlApplet(HWND window, UINT message, LPARAM, LPARAM param2) {
    switch (message) {
    case CPL_INIT:
        return TRUE; // ready
    case CPL_GETCOUNT:
        return 1; // one applet in this file
    case CPL_INQUIRE: {
        auto* info = reinterpret_cast<CPLINFO*>(param2);
        info->idIcon = IDI_SVCDEMO;
        info->idName = IDS_NAME;
        info->idInfo = IDS_INFO;
        info->lData = 0;
        return 0;
    }
    case CPL_NEWINQUIRE:
        describe(*reinterpret_cast<NEWCPLINFOA*>(param2));
        return 0;
    case CPL_DBLCLK:
        return show_sheet(window);
    case CPL_STOP:
    case CPL_EXIT:
    default:
        return 0;
    }
}
