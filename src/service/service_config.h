// Reading the connected service's configuration without a heap allocation per read.
#pragma once

#include <windows.h>

namespace svcsheet {

// Room on the caller's stack for QueryServiceConfigA's record and the strings it points to:
// the most the platform documents it returns.
struct service_config_buffer {
    alignas(QUERY_SERVICE_CONFIGA) unsigned char bytes[8192];

    [[nodiscard]] QUERY_SERVICE_CONFIGA* config() noexcept {
        return reinterpret_cast<QUERY_SERVICE_CONFIGA*>(bytes);
    }
};

// The connected service's configuration, in buffer or, where the platform asks for more room,
// in one buffer the connection keeps and reuses; null without a connection or when the query
// fails.
[[nodiscard]] const QUERY_SERVICE_CONFIGA*
read_service_config(service_config_buffer& buffer) noexcept;

} // namespace svcsheet
