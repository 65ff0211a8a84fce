// Test support for the Service page: real services in the Wine prefix, and reading the page.
#pragma once

#include <windows.h>

#include "svcsheet.h"

#include <functional>
#include <string>

namespace test_support {

struct service_options {
    DWORD service_type = SERVICE_WIN32_OWN_PROCESS;
    DWORD start_type = SERVICE_DEMAND_START;
    std::string display_name; // empty: the service's name
    std::string arguments;    // for the test service: "accept=N stop_ms=N ..."
    const char* account = nullptr;
    const char* password = nullptr;

    service_options& type(DWORD value) { return service_type = value, *this; }
    service_options& start(DWORD value) { return start_type = value, *this; }
    service_options& display(std::string value) { return display_name = value, *this; }
    service_options& args(std::string value) { return arguments = value, *this; }
    service_options& run_as(const char* name, const char* secret) {
        return account = name, password = secret, *this;
    }
};

struct service_config_values {
    bool read = false;
    DWORD service_type = 0;
    DWORD start_type = 0;
    std::string display_name;
};

// A uniquely named service, created from the test service program (or, for a driver type, a
// driver that is never loaded), and stopped and deleted again when the object goes, also
// after a failed assertion.
class test_service {
public:
    explicit test_service(const service_options& options = {});
    ~test_service();
    test_service(const test_service&) = delete;
    test_service& operator=(const test_service&) = delete;

    bool created() const { return service_ != nullptr; }
    const std::string& name() const { return name_; }
    SC_HANDLE handle() const { return service_; }
    // Why creating failed.
    DWORD create_error() const { return create_error_; }

    // Starts the service and waits until it runs.
    bool start();
    bool control(DWORD control);
    DWORD state() const;
    bool wait_for_state(DWORD state, DWORD timeout_ms) const;
    service_config_values config() const;
    // Deletes the service now and closes this object's handle to it: the service is gone
    // once nobody else holds a handle either.
    bool remove();

private:
    std::string name_;
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    DWORD create_error_ = 0;
};

// A name no service has.
std::string missing_service_name();

// OpenServiceA's error for the name (0 when it opens).
DWORD open_service_error(const std::string& name);

// What Wine's own reg.exe prints for the service's Start value.
std::string reg_query_start(const std::string& service_name);

// The Service page of a sheet whose only page it is.
HWND service_page(HWND sheet);

std::string item_text(HWND page, int id);
bool item_enabled(HWND page, int id);
bool item_visible(HWND page, int id);
bool item_checked(HWND page, int id);

// The enabled control buttons, e.g. "Start" or "Pause|Stop" ("" for none).
std::string enabled_buttons(HWND page);
// The checked start-type radio buttons, e.g. "Manual".
std::string checked_start_types(HWND page);
// The enabled start-type radio buttons.
std::string enabled_start_types(HWND page);

// Clicks a button the way a user does (BM_CLICK), so auto buttons change state too.
void click(HWND page, int id);

// Dispatches messages until the status text reads text; returns whether it did.
bool wait_for_status(HWND page, const char* text, DWORD timeout_ms = 5000);

// Adds the Service page and shows it alone in a sheet; script(sheet, page) runs inside the
// sheet's message loop and should end it (close_sheet, or OK).
void show_service_page(BOOL show_interaction, SVCSHEET_HELP_CALLBACK help,
                       const std::function<void(HWND sheet, HWND page)>& script);

// Presses Cancel (or Close).
void close_sheet(HWND sheet);

// Calls the page's dialog procedure directly, to see what it returns.
INT_PTR call_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

} // namespace test_support
