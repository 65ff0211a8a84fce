// control_panel_check: opens the sample applet (svcdemo.cpl, beside this program)
// with the platform's own control.exe, as a user would, and checks its sheet: two
// tabs, open on the Service page, which shows the service named in the applet's
// resources; then presses Cancel and waits for control.exe to end. All in one
// program, so that every step runs in the same window session.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The applet's IDS_SERVICE, and the caption it gives its sheet.
constexpr char service_name[] = "SvcsheetDemo";
constexpr char sheet_caption[] = "SvcsheetDemo Properties";
constexpr int status_text = 1000; // the Service page's state line
constexpr int service_page_index = 1;

int fail(const char* what, const char* detail = "") {
    std::fprintf(stderr, "control_panel_check: %s%s\n", what, detail);
    return 1;
}

HWND wait_for_sheet(DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    do {
        if (HWND sheet = FindWindowA(nullptr, sheet_caption)) {
            return sheet;
        }
        Sleep(100);
    } while (GetTickCount() - start < timeout_ms);
    return nullptr;
}

std::string text_of(HWND control) {
    char text[64] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
}

// Checks the open sheet; the caller presses Cancel whatever the outcome.
int check_sheet(HWND sheet) {
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    const int index = static_cast<int>(PropSheet_HwndToIndex(sheet, page));
    const int tabs = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet));
    char detail[96];
    std::snprintf(detail, sizeof detail, ": %d tabs, page %d current", tabs, index);
    if (tabs != 2 || index != service_page_index) {
        return fail("the sheet is not open on the Service page of two", detail);
    }
    HWND status = GetDlgItem(page, status_text);
    const DWORD start = GetTickCount();
    while (text_of(status) != "Stopped" && GetTickCount() - start < 10000) {
        Sleep(50);
    }
    if (text_of(status) != "Stopped") {
        return fail("the Service page does not show the stopped service; it reads ",
                    text_of(status).c_str());
    }
    return 0;
}

int open_applet(const std::string& applet) {
    std::string command = "control.exe \"" + applet + "\"";
    // The applet's folder as the current one: the loader finds svcsheet.dll there.
    const std::string folder = applet.substr(0, applet.find_last_of('\\'));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        return fail("cannot start control.exe");
    }
    int result = 0;
    if (HWND sheet = wait_for_sheet(30000)) {
        result = check_sheet(sheet);
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    } else {
        result = fail("no sheet captioned ", sheet_caption);
    }
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        result = fail("control.exe did not end after Cancel");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

} // namespace

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string applet = self;
    applet.replace(applet.find_last_of('\\') + 1, std::string::npos, "svcdemo.cpl");
    if (GetFileAttributesA(applet.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return fail("no applet at ", applet.c_str());
    }

    // A stopped service under the applet's name (never started: any program will do),
    // so that the page shows a state only a real connection gives.
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return fail("cannot open the service manager");
    }
    if (SC_HANDLE stale = OpenServiceA(manager, service_name, DELETE)) {
        DeleteService(stale); // left by an interrupted run
        CloseServiceHandle(stale);
    }
    const std::string binary = "\"" + std::string(self) + "\"";
    SC_HANDLE service =
        CreateServiceA(manager, service_name, "svcsheet demo service", DELETE,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) {
        CloseServiceHandle(manager);
        return fail("cannot create the service ", service_name);
    }

    const int result = open_applet(applet);

    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (result == 0) {
        std::printf("control_panel_check: control.exe opened svcdemo.cpl on the Service page "
                    "of %s, and Cancel closed it\n",
                    service_name);
    }
    return result;
}
