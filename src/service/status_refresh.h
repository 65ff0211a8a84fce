// Shows the connected service's current state on the Service page.
#pragma once

#include <windows.h>

namespace svcsheet {

// Sets the status text (control status_text_id) and enables the start-type radio buttons and
// the control buttons that the service's state allows. Without a connection, or when the
// service's status cannot be read, the page keeps what it shows. Allocates nothing: it runs
// on every timer tick.
void refresh_status(HWND page, int status_text_id) noexcept;

// Drops what refresh_status remembers of a page's controls; called when the page goes.
void forget_page_controls(HWND page) noexcept;

} // namespace svcsheet
