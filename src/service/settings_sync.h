// Writes the Service page's start-up settings to the service and loads them back.
#pragma once

#include <windows.h>

#include "service/startup_settings.h"
#include "service/status_refresh.h"

namespace svcsheet {

// Loads the service's start type and desktop-interaction setting into the page and refreshes
// its status. The edit starts over: its selection is the loaded start type's radio button
// (selection_load_only when there is no connection, the configuration cannot be read, or the
// start type is boot or system start), and nothing counts as touched.
void load_settings(HWND page, startup_edit& edit, status_controls& controls) noexcept;

// Writes what the user changed (change_to_apply), then loads as load_settings does, so the
// page shows what took. Returns false when the service manager refused any of the change.
[[nodiscard]] bool apply_settings(HWND page, startup_edit& edit,
                                  status_controls& controls) noexcept;

} // namespace svcsheet
