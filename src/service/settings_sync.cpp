// The Service page's settings sync: write what the user changed, reload, refresh.
#include "service/settings_sync.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service_page_ids.h"

#include <optional>

namespace svcsheet {
namespace {

void write_changes(HWND page, SC_HANDLE service, const startup_edit& edit,
                   service_config_buffer& buffer) {
    const bool checked = edit.interaction_shown &&
                         IsDlgButtonChecked(page, IDC_INTERACT_WITH_DESKTOP) == BST_CHECKED;
    // The interactive bit is set or cleared on the type the service has now, so a
    // shared-process service or a driver is not rewritten as an own-process service.
    std::optional<std::uint32_t> current_type;
    if (edit.interaction_shown && edit.interaction_toggled) {
        if (const QUERY_SERVICE_CONFIGA* current = query_service_config(service, buffer)) {
            current_type = current->dwServiceType;
        }
    }
    config_change change;
    if (!change_to_apply(edit, checked, current_type, change)) {
        return;
    }
    // No display name: the ANSI call would corrupt one outside the code page, and would turn
    // an indirect resource reference into its resolved text.
    ChangeServiceConfigA(service, change.service_type, change.start_type, SERVICE_NO_CHANGE,
                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void sync_settings(HWND page, startup_edit& edit, status_controls& controls, bool write) {
    SC_HANDLE service = service_handle();
    service_config_buffer buffer;
    if (service != nullptr && write) {
        write_changes(page, service, edit, buffer);
    }
    edit.selection = selection_load_only;
    edit.start_type_clicked = false;
    edit.interaction_toggled = false;
    if (service == nullptr) {
        return;
    }
    const QUERY_SERVICE_CONFIGA* config = query_service_config(service, buffer);
    if (config == nullptr) {
        return;
    }
    if (edit.interaction_shown) {
        CheckDlgButton(page, IDC_INTERACT_WITH_DESKTOP,
                       (config->dwServiceType & SERVICE_INTERACTIVE_PROCESS) != 0 ? BST_CHECKED
                                                                                  : BST_UNCHECKED);
    }
    const DWORD start_type = config->dwStartType;
    refresh_status(controls);

    const int loaded = selection_for_start_type(start_type);
    if (loaded != selection_load_only) {
        // Clears the other two as well: after a refused change the user's own click would
        // otherwise stay checked beside the start type the service really has.
        CheckRadioButton(page, IDC_START_AUTOMATIC, IDC_START_DISABLED, loaded);
    }
    edit.selection = loaded;
}

} // namespace

void load_settings(HWND page, startup_edit& edit, status_controls& controls) noexcept {
    sync_settings(page, edit, controls, false);
}

void apply_settings(HWND page, startup_edit& edit, status_controls& controls) noexcept {
    sync_settings(page, edit, controls, true);
}

} // namespace svcsheet
