// Writes the Service page's start-up settings to the service and loads them back.
#pragma once

#include <windows.h>

namespace svcsheet {

// Applies selection (a start-type radio button id, selection_no_change, or
// selection_load_only to write nothing), then loads the service's start type and
// desktop-interaction setting into the page and refreshes its status. Returns the
// selection matching the start type now configured, or selection_load_only when there is no
// connection, the configuration cannot be read, or the start type is boot or system start.
int sync_settings(HWND page, int selection) noexcept;

} // namespace svcsheet
