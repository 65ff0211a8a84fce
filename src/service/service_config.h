// Reading a service's configuration into a fixed buffer on the caller's stack.
#pragma once

#include <windows.h>

namespace svcsheet {

// QueryServiceConfigA's record and the strings it points to; a configuration that does not
// fit counts as a failed query.
struct service_config_buffer {
    alignas(QUERY_SERVICE_CONFIGA) unsigned char bytes[4096];

    [[nodiscard]] QUERY_SERVICE_CONFIGA* config() noexcept {
        return reinterpret_cast<QUERY_SERVICE_CONFIGA*>(bytes);
    }
};

// The service's configuration, or null when the query fails.
[[nodiscard]] inline QUERY_SERVICE_CONFIGA* query_service_config(SC_HANDLE service,
                                                                 service_config_buffer& buffer) {
    DWORD needed = 0;
    if (!QueryServiceConfigA(service, buffer.config(), sizeof buffer.bytes, &needed)) {
        return nullptr;
    }
    return buffer.config();
}

} // namespace svcsheet
