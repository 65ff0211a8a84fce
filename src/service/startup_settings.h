// The start-type selection of the Service page and the configuration it writes.
// Platform-free.
#pragma once

#include "service_page_ids.h"

#include <cstdint>
#include <optional>

namespace svcsheet {

// The start-type selection: a start-type radio button id, or this for a start type no radio
// button stands for (boot or system start), which is only ever loaded.
constexpr int selection_load_only = 0;

// Service-manager values, as the platform defines them.
constexpr std::uint32_t service_no_change = 0xFFFFFFFF;
constexpr std::uint32_t service_boot_start = 0;
constexpr std::uint32_t service_system_start = 1;
constexpr std::uint32_t service_auto_start = 2;
constexpr std::uint32_t service_demand_start = 3;
constexpr std::uint32_t service_disabled = 4;
constexpr std::uint32_t service_kernel_driver = 0x1;
constexpr std::uint32_t service_win32_own_process = 0x10;
constexpr std::uint32_t service_win32_share_process = 0x20;
constexpr std::uint32_t service_interactive_process = 0x100;

// The start type to write for a selection: the radio button's start type, or
// service_no_change for anything else.
[[nodiscard]] std::uint32_t start_type_for_selection(int selection) noexcept;

// The radio button id for a start type, or selection_load_only for boot and system start
// (and anything unknown).
[[nodiscard]] int selection_for_start_type(std::uint32_t start_type) noexcept;

// The service type to write when a selection is applied. Without show_interaction the type
// is left alone. With it, the interactive bit follows the check box on top of the service's
// current type, so a shared-process service stays shared; a service that is not a Win32
// service (a driver), or whose current type is unknown, keeps its type.
[[nodiscard]] std::uint32_t
service_type_to_write(bool show_interaction, bool interact_checked,
                      std::optional<std::uint32_t> current_type) noexcept;

// What one Service page holds between two loads of the service's settings.
struct startup_edit {
    bool interaction_shown;   // the page opened with the desktop-interaction check box
    int selection;            // the pending start-type choice
    bool start_type_clicked;  // a start-type radio button was clicked since the last load
    bool interaction_toggled; // the check box was clicked since the last load
    int loaded;               // the selection the last load found
};

// Whether the edit holds anything for Apply to write.
[[nodiscard]] bool edit_pending(const startup_edit& edit) noexcept;

// Takes a start-type button's BN_CLICKED. The button control sends it for more than a click
// that changes the check (Space on the checked button, an accessibility tool, a host), so only
// a checked button other than the loaded start type is a choice; the loaded one checked again
// takes an earlier choice back. Returns edit_pending afterwards.
[[nodiscard]] bool take_start_type_click(startup_edit& edit, int button, bool checked) noexcept;

// A configuration change; service_no_change for what stays as it is.
struct config_change {
    std::uint32_t service_type;
    std::uint32_t start_type;
};

// What Apply writes: only what the user changed since the page last loaded. The start type
// after a start-type click; the service type after a click on the check box of a page that
// shows it (interact_checked and current_type as for service_type_to_write); nothing at all
// for selection_load_only. Returns false, with change all service_no_change, when there is
// nothing to write.
[[nodiscard]] bool change_to_apply(const startup_edit& edit, bool interact_checked,
                                   std::optional<std::uint32_t> current_type,
                                   config_change& change) noexcept;

} // namespace svcsheet
