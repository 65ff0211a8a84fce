// The connection to the one service the Service page shows and changes.
#include "svcsheet.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service/unique_sc_handle.h"

namespace {

constexpr DWORD query_access = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;
// One right per action the page offers; each is learnt on its own for a user who lacks some.
constexpr DWORD action_access[] = {SERVICE_START, SERVICE_STOP, SERVICE_PAUSE_CONTINUE,
                                   SERVICE_CHANGE_CONFIG};
constexpr DWORD all_actions =
    SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_CHANGE_CONFIG;

// Plain handles, closed only by release_connection: the state has no destructor, so nothing
// calls the service manager while the process ends (the system closes the handles then).
struct connection_state {
    SC_HANDLE manager;
    SC_HANDLE service;
    DWORD granted; // of action_access
    // For a configuration larger than the caller's stack buffer: allocated when the platform
    // first asks for more, then reused by every read.
    QUERY_SERVICE_CONFIGA* large_config;
    DWORD large_config_bytes;
    bool show_interaction;
    // The last InitServiceControl found the service and was refused even the right to query it.
    bool access_denied;
    // Moves with every change of the connection, so an open page notices one made under it.
    unsigned serial;
};

connection_state g_connection;

void close_handle(SC_HANDLE& handle) {
    if (handle != nullptr) {
        CloseServiceHandle(handle);
        handle = nullptr;
    }
}

void free_large_config() {
    if (g_connection.large_config != nullptr) {
        HeapFree(GetProcessHeap(), 0, g_connection.large_config);
        g_connection.large_config = nullptr;
        g_connection.large_config_bytes = 0;
    }
}

void release_connection() {
    // The manager goes first, then the service.
    close_handle(g_connection.manager);
    close_handle(g_connection.service);
    g_connection.granted = 0;
    g_connection.access_denied = false;
    ++g_connection.serial;
    free_large_config();
}

// A user refused the page's rights may still see the service: a handle with the query rights
// and whichever actions the service manager grants, each learnt through a short-lived handle.
svcsheet::unique_sc_handle open_with_granted_rights(SC_HANDLE manager, LPCSTR name,
                                                    DWORD& granted) {
    granted = 0;
    svcsheet::unique_sc_handle service(OpenServiceA(manager, name, query_access));
    if (!service) {
        return service;
    }
    for (DWORD right : action_access) {
        if (svcsheet::unique_sc_handle probe{OpenServiceA(manager, name, right)}) {
            granted |= right;
        }
    }
    if (granted != 0) {
        if (svcsheet::unique_sc_handle wider{OpenServiceA(manager, name, query_access | granted)}) {
            return wider;
        }
        granted = 0;
    }
    return service;
}

bool query_into(QUERY_SERVICE_CONFIGA* config, DWORD bytes, DWORD& needed) {
    needed = 0;
    return QueryServiceConfigA(g_connection.service, config, bytes, &needed) != FALSE;
}

} // namespace

SC_HANDLE svcsheet::service_handle() noexcept {
    return g_connection.service;
}

DWORD svcsheet::granted_access() noexcept {
    return g_connection.granted;
}

bool svcsheet::show_interaction() noexcept {
    return g_connection.show_interaction;
}

void svcsheet::set_show_interaction(bool show) noexcept {
    g_connection.show_interaction = show;
}

unsigned svcsheet::connection_serial() noexcept {
    return g_connection.serial;
}

bool svcsheet::service_access_denied() noexcept {
    return g_connection.access_denied;
}

const QUERY_SERVICE_CONFIGA* svcsheet::read_service_config(service_config_buffer& buffer) noexcept {
    if (g_connection.service == nullptr) {
        return nullptr;
    }
    QUERY_SERVICE_CONFIGA* config = g_connection.large_config;
    DWORD bytes = g_connection.large_config_bytes;
    if (config == nullptr) {
        config = buffer.config();
        bytes = sizeof buffer.bytes;
    }
    DWORD needed = 0;
    if (query_into(config, bytes, needed)) {
        return config;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= bytes) {
        return nullptr;
    }
    // Once per size the platform asks for, never per refresh.
    free_large_config();
    void* memory = HeapAlloc(GetProcessHeap(), 0, needed);
    if (memory == nullptr) {
        return nullptr;
    }
    g_connection.large_config = static_cast<QUERY_SERVICE_CONFIGA*>(memory);
    g_connection.large_config_bytes = needed;
    return query_into(g_connection.large_config, needed, needed) ? g_connection.large_config
                                                                 : nullptr;
}

extern "C" int WINAPI InitServiceControl(LPCSTR service_name) {
    // A second connection replaces the first rather than leaking its handles.
    release_connection();

    // Opening a service needs no more of the manager than a connection.
    svcsheet::unique_sc_handle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        g_connection.access_denied = GetLastError() == ERROR_ACCESS_DENIED;
        return 0;
    }
    DWORD granted = all_actions;
    svcsheet::unique_sc_handle service(
        OpenServiceA(manager.get(), service_name, query_access | all_actions));
    DWORD refused = ERROR_SUCCESS;
    if (!service) {
        refused = GetLastError();
        if (refused == ERROR_ACCESS_DENIED) {
            service = open_with_granted_rights(manager.get(), service_name, granted);
        }
    }
    if (!service) {
        // The caller reads why the service could not be opened, not what closing the
        // manager left behind.
        manager.reset();
        g_connection.access_denied = refused == ERROR_ACCESS_DENIED;
        SetLastError(refused);
        return 0;
    }
    g_connection.manager = manager.release();
    g_connection.service = service.release();
    g_connection.granted = granted;
    // A service whose configuration cannot be read is no connection; the page would have
    // nothing to load.
    svcsheet::service_config_buffer buffer;
    if (svcsheet::read_service_config(buffer) == nullptr) {
        release_connection();
        return 0;
    }
    // Connected for showing, not for everything the page offers: the host sees the refusal.
    if (refused != ERROR_SUCCESS) {
        SetLastError(refused);
        return 0;
    }
    return 1;
}

extern "C" void WINAPI DeInitServiceControl(void) {
    release_connection();
}
