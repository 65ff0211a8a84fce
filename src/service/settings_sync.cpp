// The Service page's settings sync: write what the user changed, reload, refresh.
#include "service/settings_sync.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service_page_ids.h"

#include <optional>

namespace svcsheet {
namespace {

constexpr int start_type_ids[] = {IDC_START_AUTOMATIC, IDC_START_MANUAL, IDC_START_DISABLED};

bool change_config(SC_HANDLE service, DWORD service_type, DWORD start_type) {
    // No display name: the ANSI call would corrupt one outside the code page, and would turn
    // an indirect resource reference into its resolved text.
    return ChangeServiceConfigA(service, service_type, start_type, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
}

apply_outcome write_changes(HWND page, SC_HANDLE service, const startup_edit& edit,
                            service_config_buffer& buffer) {
    if (service == nullptr) {
        return {false, edit_pending(edit)};
    }
    const bool checked = edit.interaction_shown &&
                         IsDlgButtonChecked(page, IDC_INTERACT_WITH_DESKTOP) == BST_CHECKED;
    // The interactive bit is set or cleared on the type the service has now, so a
    // shared-process service or a driver is not rewritten as an own-process service.
    std::optional<std::uint32_t> current_type;
    if (edit.interaction_shown && edit.interaction_toggled) {
        if (const QUERY_SERVICE_CONFIGA* current = read_service_config(buffer)) {
            current_type = current->dwServiceType;
        }
    }
    config_change change;
    if (!change_to_apply(edit, checked, current_type, change)) {
        return {false, false};
    }
    // One call each: the service manager refuses the interactive bit for a service that runs
    // under an account of its own, and that refusal must not take the start type with it.
    apply_outcome outcome = {false, false};
    auto write = [&](DWORD service_type, DWORD start_type) {
        const bool written = change_config(service, service_type, start_type);
        outcome.stored = outcome.stored || written;
        outcome.refused = outcome.refused || !written;
    };
    if (change.start_type != service_no_change) {
        write(SERVICE_NO_CHANGE, change.start_type);
    }
    if (change.service_type != service_no_change) {
        write(change.service_type, SERVICE_NO_CHANGE);
    }
    return outcome;
}

apply_outcome sync_settings(HWND page, startup_edit& edit, status_controls& controls, bool write) {
    service_config_buffer buffer;
    const apply_outcome outcome =
        write ? write_changes(page, service_handle(), edit, buffer) : apply_outcome{false, false};
    edit.selection = selection_load_only;
    edit.loaded = selection_load_only;
    edit.start_type_clicked = false;
    edit.interaction_toggled = false;
    const QUERY_SERVICE_CONFIGA* config = read_service_config(buffer);
    if (config == nullptr) {
        return outcome;
    }
    if (edit.interaction_shown) {
        CheckDlgButton(page, IDC_INTERACT_WITH_DESKTOP,
                       (config->dwServiceType & SERVICE_INTERACTIVE_PROCESS) != 0 ? BST_CHECKED
                                                                                  : BST_UNCHECKED);
    }
    const DWORD start_type = config->dwStartType;
    refresh_status(controls);

    // All three are set: after a refused change the user's own click would otherwise stay
    // checked beside the start type the service really has, or beside a boot or system start
    // type that no button stands for.
    const int loaded = selection_for_start_type(start_type);
    for (int id : start_type_ids) {
        CheckDlgButton(page, id, id == loaded ? BST_CHECKED : BST_UNCHECKED);
    }
    edit.selection = loaded;
    edit.loaded = loaded;
    return outcome;
}

} // namespace

void load_settings(HWND page, startup_edit& edit, status_controls& controls) noexcept {
    sync_settings(page, edit, controls, false);
}

apply_outcome apply_settings(HWND page, startup_edit& edit, status_controls& controls) noexcept {
    return sync_settings(page, edit, controls, true);
}

} // namespace svcsheet
