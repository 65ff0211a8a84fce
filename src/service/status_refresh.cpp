// The Service page's status refresh.
#include "service/status_refresh.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service/status_table.h"
#include "service_page_ids.h"

namespace svcsheet {
namespace {

constexpr int start_type_ids[] = {IDC_START_AUTOMATIC, IDC_START_MANUAL, IDC_START_DISABLED};

// In the order of control_button.
constexpr int control_button_ids[control_button_count] = {IDC_START_SERVICE, IDC_CONTINUE_SERVICE,
                                                          IDC_PAUSE_SERVICE, IDC_STOP_SERVICE};

} // namespace

void refresh_status(HWND page, int status_text_id) noexcept {
    SC_HANDLE service = service_handle();
    if (service == nullptr) {
        return;
    }
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) {
        return;
    }
    // An unreadable configuration does not forbid Start.
    service_config_buffer buffer;
    const QUERY_SERVICE_CONFIGA* config = query_service_config(service, buffer);
    const bool start_allowed = config == nullptr || config->dwStartType != SERVICE_DISABLED;

    for (int id : start_type_ids) {
        EnableWindow(GetDlgItem(page, id), TRUE);
    }
    status_picture picture;
    if (!look_up_status(status.dwCurrentState, status.dwControlsAccepted, start_allowed, picture)) {
        return;
    }
    SetDlgItemTextA(page, status_text_id, picture.text);
    for (int i = 0; i < control_button_count; ++i) {
        EnableWindow(GetDlgItem(page, control_button_ids[i]), picture.enabled[i]);
    }
}

} // namespace svcsheet
