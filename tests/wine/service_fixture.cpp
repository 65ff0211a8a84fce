// Test support for the Service page: real services in the Wine prefix, and reading the page.
#include "service_fixture.h"

#include "child_process.h"

#include "service_page_ids.h"
#include "sheet_driver.h"
#include "test_service.h"

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace test_support {
namespace {

std::string unique_name(const char* stem) {
    static int sequence = 0;
    char name[64];
    std::snprintf(name, sizeof name, "%s_%lu_%lu_%d", stem, GetCurrentProcessId(), GetTickCount(),
                  ++sequence);
    return name;
}

std::string test_service_command(const std::string& arguments) {
    std::string command = "\"" + program_beside_this_one("svcsheet_test_service.exe") + "\"";
    if (!arguments.empty()) {
        command += " " + arguments;
    }
    return command;
}

bool is_driver(DWORD service_type) {
    return (service_type & (SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER)) != 0;
}

struct named_id {
    int id;
    const char* name;
};

std::string joined(HWND page, const std::vector<named_id>& items, bool (*test)(HWND, int)) {
    std::string names;
    for (const named_id& item : items) {
        if (test(page, item.id)) {
            names += names.empty() ? "" : "|";
            names += item.name;
        }
    }
    return names;
}

const std::vector<named_id> control_buttons = {{IDC_START_SERVICE, "Start"},
                                               {IDC_CONTINUE_SERVICE, "Continue"},
                                               {IDC_PAUSE_SERVICE, "Pause"},
                                               {IDC_STOP_SERVICE, "Stop"}};
const std::vector<named_id> start_types = {{IDC_START_AUTOMATIC, "Automatic"},
                                           {IDC_START_MANUAL, "Manual"},
                                           {IDC_START_DISABLED, "Disabled"}};

} // namespace

test_service::test_service(const service_options& options) : name_(unique_name("svcsheet_t")) {
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager_ == nullptr) {
        create_error_ = GetLastError();
        return;
    }
    const std::string path = is_driver(options.service_type)
                                 ? std::string("system32\\drivers\\svcsheet_none.sys")
                                 : test_service_command(options.arguments);
    const std::string display = options.display_name.empty() ? name_ : options.display_name;
    service_ =
        CreateServiceA(manager_, name_.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                       options.service_type, options.start_type, SERVICE_ERROR_IGNORE, path.c_str(),
                       nullptr, nullptr, nullptr, options.account, options.password);
    if (service_ == nullptr) {
        create_error_ = GetLastError();
    }
}

test_service::~test_service() {
    if (service_ != nullptr) {
        const DWORD current = state();
        if (current != SERVICE_STOPPED && current != 0) {
            control(test_service_control_quit);
            wait_for_state(SERVICE_STOPPED, 5000);
        }
        DeleteService(service_);
        CloseServiceHandle(service_);
    }
    if (manager_ != nullptr) {
        CloseServiceHandle(manager_);
    }
}

bool test_service::start() {
    return StartServiceA(service_, 0, nullptr) && wait_for_state(SERVICE_RUNNING, 5000);
}

bool test_service::control(DWORD control) {
    SERVICE_STATUS status;
    return ControlService(service_, control, &status) != FALSE;
}

DWORD test_service::state() const {
    SERVICE_STATUS status = {};
    return QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
}

bool test_service::wait_for_state(DWORD wanted, DWORD timeout_ms) const {
    const DWORD start = GetTickCount();
    while (state() != wanted) {
        if (GetTickCount() - start >= timeout_ms) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

service_config_values test_service::config() const {
    service_config_values values;
    alignas(QUERY_SERVICE_CONFIGA) unsigned char buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    DWORD needed = 0;
    if (QueryServiceConfigA(service_, config, sizeof buffer, &needed)) {
        values.read = true;
        values.service_type = config->dwServiceType;
        values.start_type = config->dwStartType;
        values.display_name = config->lpDisplayName != nullptr ? config->lpDisplayName : "";
    }
    return values;
}

bool test_service::remove() {
    if (!DeleteService(service_)) {
        return false;
    }
    CloseServiceHandle(service_);
    service_ = nullptr;
    return true;
}

std::string missing_service_name() {
    return unique_name("svcsheet_missing");
}

DWORD open_service_error(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SetLastError(0xdeadbeef);
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    const DWORD error = service == nullptr ? GetLastError() : 0;
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return error;
}

std::string reg_query_start(const std::string& service_name) {
    return test_support::run_and_capture(
        "reg.exe query HKLM\\System\\CurrentControlSet\\Services\\" + service_name + " /v Start");
}

HWND service_page(HWND sheet) {
    return PropSheet_IndexToHwnd(sheet, 0);
}

std::string item_text(HWND page, int id) {
    char text[256] = {};
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

bool item_enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

bool item_visible(HWND page, int id) {
    return (GetWindowLongA(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool item_checked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

std::string enabled_buttons(HWND page) {
    return joined(page, control_buttons, item_enabled);
}

std::string checked_start_types(HWND page) {
    return joined(page, start_types, item_checked);
}

std::string enabled_start_types(HWND page) {
    return joined(page, start_types, item_enabled);
}

void click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool wait_for_status(HWND page, const char* text, DWORD timeout_ms) {
    return pump_until([&] { return item_text(page, IDC_STATUS_TEXT) == text; }, timeout_ms);
}

void show_service_page(BOOL show_interaction, SVCSHEET_HELP_CALLBACK help,
                       const std::function<void(HWND sheet, HWND page)>& script) {
    const int index = AddServiceControlPage(show_interaction, help);
    if (index != 0) {
        ADD_FAILURE() << "AddServiceControlPage returned " << index;
        return;
    }
    run_sheet("Service test", 0, [&](HWND sheet) { script(sheet, service_page(sheet)); });
    EXPECT_FALSE(sheet_left_open()) << "the script left the sheet open";
}

void close_sheet(HWND sheet) {
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
}

INT_PTR call_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(page, DWLP_DLGPROC));
    return CallWindowProcA(proc, page, message, wparam, lparam);
}

} // namespace test_support
