// What the Service page needs from the service connection.
#pragma once

#include <windows.h>

namespace svcsheet {

// The connected service, or null when there is no connection.
[[nodiscard]] SC_HANDLE service_handle() noexcept;

// Which of the page's actions the service handle carries the right for: SERVICE_START,
// SERVICE_STOP, SERVICE_PAUSE_CONTINUE and SERVICE_CHANGE_CONFIG, as the service manager
// granted them. 0 without a connection.
[[nodiscard]] DWORD granted_access() noexcept;

// Changes whenever the connection is made or released: a page that opened with another value
// shows a connection other than the one there is now.
[[nodiscard]] unsigned connection_serial() noexcept;

// Without a connection: whether the last InitServiceControl found the service but was refused
// even the right to query it.
[[nodiscard]] bool service_access_denied() noexcept;

// Whether a Service page opened from now on offers the desktop-interaction setting.
[[nodiscard]] bool show_interaction() noexcept;
void set_show_interaction(bool show) noexcept;

} // namespace svcsheet
