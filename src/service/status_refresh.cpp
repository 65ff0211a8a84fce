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

constexpr int start_type_count = sizeof start_type_ids / sizeof start_type_ids[0];

// The page's controls, looked up once per page: this runs ten times a second, and under
// Wine every GetDlgItem is a round trip to the server.
struct control_cache {
    HWND page;
    int status_text_id;
    HWND status_text;
    HWND start_types[start_type_count];
    HWND buttons[control_button_count];
};
control_cache g_controls;

const control_cache& controls_of(HWND page, int status_text_id) noexcept {
    if (g_controls.page != page || g_controls.status_text_id != status_text_id) {
        g_controls.page = page;
        g_controls.status_text_id = status_text_id;
        g_controls.status_text = GetDlgItem(page, status_text_id);
        for (int i = 0; i < start_type_count; ++i) {
            g_controls.start_types[i] = GetDlgItem(page, start_type_ids[i]);
        }
        for (int i = 0; i < control_button_count; ++i) {
            g_controls.buttons[i] = GetDlgItem(page, control_button_ids[i]);
        }
    }
    return g_controls;
}

// Under Wine every EnableWindow is a round trip to the server even when nothing changes;
// reading the state is not.
void set_enabled(HWND control, bool enabled) noexcept {
    if ((IsWindowEnabled(control) != FALSE) != enabled) {
        EnableWindow(control, enabled);
    }
}

} // namespace

void forget_page_controls(HWND page) noexcept {
    if (g_controls.page == page) {
        g_controls = {};
    }
}

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

    const control_cache& controls = controls_of(page, status_text_id);
    for (HWND radio : controls.start_types) {
        set_enabled(radio, true);
    }
    status_picture picture;
    if (!look_up_status(status.dwCurrentState, status.dwControlsAccepted, start_allowed, picture)) {
        return;
    }
    SetWindowTextA(controls.status_text, picture.text);
    for (int i = 0; i < control_button_count; ++i) {
        set_enabled(controls.buttons[i], picture.enabled[i]);
    }
}

} // namespace svcsheet
