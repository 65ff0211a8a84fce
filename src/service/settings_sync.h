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

// What an apply did with the edit.
struct apply_outcome {
    bool stored;  // the service manager took some of the change: Cancel cannot undo it
    bool refused; // some of the change was not stored: refused, or no connection to take it
};

// Writes what the user changed (change_to_apply), then loads as load_settings does, so the
// page shows what took.
[[nodiscard]] apply_outcome apply_settings(HWND page, startup_edit& edit,
                                           status_controls& controls) noexcept;

} // namespace svcsheet
