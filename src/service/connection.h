// What the Service page needs from the service connection.
#pragma once

#include <windows.h>

namespace svcsheet {

// The connected service, or null when there is no connection.
[[nodiscard]] SC_HANDLE service_handle() noexcept;

// The display name to pass with every configuration change: the one read at connection
// time, or null (leave it unchanged) when it was too long for the cache.
[[nodiscard]] const char* display_name_to_write() noexcept;

// Whether the page offers the desktop-interaction setting.
[[nodiscard]] bool show_interaction() noexcept;
void set_show_interaction(bool show) noexcept;

} // namespace svcsheet
