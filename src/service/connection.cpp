// The connection to the one service the Service page shows and changes.
#include "svcsheet.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service/unique_sc_handle.h"

namespace {

// Plain handles, closed only by release_connection: the state has no destructor, so nothing
// calls the service manager while the process ends (the system closes the handles then).
struct connection_state {
    SC_HANDLE manager;
    SC_HANDLE service;
    bool show_interaction;
};

connection_state g_connection;

void close_handle(SC_HANDLE& handle) {
    if (handle != nullptr) {
        CloseServiceHandle(handle);
        handle = nullptr;
    }
}

void release_connection() {
    // The manager goes first, then the service.
    close_handle(g_connection.manager);
    close_handle(g_connection.service);
}

} // namespace

SC_HANDLE svcsheet::service_handle() noexcept {
    return g_connection.service;
}

bool svcsheet::show_interaction() noexcept {
    return g_connection.show_interaction;
}

void svcsheet::set_show_interaction(bool show) noexcept {
    g_connection.show_interaction = show;
}

extern "C" int WINAPI InitServiceControl(LPCSTR service_name) {
    // A second connection replaces the first rather than leaking its handles.
    release_connection();

    svcsheet::unique_sc_handle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return 0;
    }
    svcsheet::unique_sc_handle service(
        OpenServiceA(manager.get(), service_name, SERVICE_ALL_ACCESS));
    if (!service) {
        // The caller reads why the service could not be opened, not what closing the
        // manager left behind.
        const DWORD error = GetLastError();
        manager.reset();
        SetLastError(error);
        return 0;
    }
    // A service whose configuration cannot be read is no connection; the page would have
    // nothing to load.
    svcsheet::service_config_buffer buffer;
    if (svcsheet::query_service_config(service.get(), buffer) == nullptr) {
        manager.reset();
        service.reset();
        return 0;
    }
    g_connection.manager = manager.release();
    g_connection.service = service.release();
    return 1;
}

extern "C" void WINAPI DeInitServiceControl(void) {
    release_connection();
}
