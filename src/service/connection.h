// What the Service page needs from the service connection.
#pragma once

#include <windows.h>

namespace svcsheet {

// The connected service, or null when there is no connection.
[[nodiscard]] SC_HANDLE service_handle() noexcept;

// Whether a Service page opened from now on offers the desktop-interaction setting.
[[nodiscard]] bool show_interaction() noexcept;
void set_show_interaction(bool show) noexcept;

} // namespace svcsheet
