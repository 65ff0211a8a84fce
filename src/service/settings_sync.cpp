// The Service page's settings sync: write the chosen start-up settings, reload, refresh.
#include "service/settings_sync.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service/startup_settings.h"
#include "service/status_refresh.h"
#include "service_page_ids.h"

#include <optional>

namespace svcsheet {
namespace {

void write_settings(HWND page, SC_HANDLE service, int selection, service_config_buffer& buffer) {
    DWORD service_type = SERVICE_NO_CHANGE;
    if (show_interaction()) {
        // The interactive bit is set or cleared on the type the service has now, so a
        // shared-process service or a driver is not rewritten as an own-process service.
        const QUERY_SERVICE_CONFIGA* current = query_service_config(service, buffer);
        service_type = service_type_to_write(
            true, IsDlgButtonChecked(page, IDC_INTERACT_WITH_DESKTOP) == BST_CHECKED,
            current != nullptr ? std::optional<std::uint32_t>(current->dwServiceType)
                               : std::nullopt);
    }
    // A refused change is not reported: the reload shows what the service really has.
    ChangeServiceConfigA(service, service_type, start_type_for_selection(selection),
                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         display_name_to_write());
}

} // namespace

int sync_settings(HWND page, int selection) noexcept {
    SC_HANDLE service = service_handle();
    if (service == nullptr) {
        return selection_load_only;
    }
    service_config_buffer buffer;
    if (selection != selection_load_only) {
        write_settings(page, service, selection, buffer);
    }
    const QUERY_SERVICE_CONFIGA* config = query_service_config(service, buffer);
    if (config == nullptr) {
        return selection_load_only;
    }
    if (show_interaction()) {
        CheckDlgButton(page, IDC_INTERACT_WITH_DESKTOP,
                       (config->dwServiceType & SERVICE_INTERACTIVE_PROCESS) != 0 ? BST_CHECKED
                                                                                  : BST_UNCHECKED);
    }
    const DWORD start_type = config->dwStartType;
    refresh_status(page, IDC_STATUS_TEXT);

    const int loaded = selection_for_start_type(start_type);
    if (loaded != selection_load_only) {
        // Clears the other two as well: after a refused change the user's own click would
        // otherwise stay checked beside the start type the service really has.
        CheckRadioButton(page, IDC_START_AUTOMATIC, IDC_START_DISABLED, loaded);
    }
    return loaded;
}

} // namespace svcsheet
