// The connection to the one service the Service page shows and changes.
#include "svcsheet.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service/unique_sc_handle.h"

#include <cstring>

namespace {

constexpr size_t display_name_size = 256;

struct connection_state {
    svcsheet::unique_sc_handle manager;
    svcsheet::unique_sc_handle service;
    char display_name[display_name_size];
    bool display_name_truncated;
    bool show_interaction;
};

connection_state g_connection;

void release_connection() {
    // The manager goes first, then the service.
    g_connection.manager.reset();
    g_connection.service.reset();
}

void cache_display_name(const char* name) {
    if (name == nullptr) {
        name = "";
    }
    const size_t length = std::strlen(name);
    g_connection.display_name_truncated = length >= display_name_size;
    const size_t kept = g_connection.display_name_truncated ? display_name_size - 1 : length;
    std::memcpy(g_connection.display_name, name, kept);
    g_connection.display_name[kept] = '\0';
}

} // namespace

SC_HANDLE svcsheet::service_handle() noexcept {
    return g_connection.service.get();
}

const char* svcsheet::display_name_to_write() noexcept {
    // Writing back a truncated name would cut the service's real one short.
    return g_connection.display_name_truncated ? nullptr : g_connection.display_name;
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

    g_connection.manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!g_connection.manager) {
        return 0;
    }
    g_connection.service.reset(
        OpenServiceA(g_connection.manager.get(), service_name, SERVICE_ALL_ACCESS));
    if (!g_connection.service) {
        // The caller reads why the service could not be opened, not what closing the
        // manager left behind.
        const DWORD error = GetLastError();
        g_connection.manager.reset();
        SetLastError(error);
        return 0;
    }

    svcsheet::service_config_buffer buffer;
    const QUERY_SERVICE_CONFIGA* config =
        svcsheet::query_service_config(g_connection.service.get(), buffer);
    if (config == nullptr) {
        release_connection();
        return 0;
    }
    cache_display_name(config->lpDisplayName);
    return 1;
}

extern "C" void WINAPI DeInitServiceControl(void) {
    release_connection();
}
