// The Service page's status refresh.
#include "service/status_refresh.h"

#include "service/connection.h"
#include "service/service_config.h"
#include "service_page_ids.h"

namespace svcsheet {
namespace {

constexpr int start_type_ids[start_type_count] = {IDC_START_AUTOMATIC, IDC_START_MANUAL,
                                                  IDC_START_DISABLED};

// In the order of control_button.
constexpr int control_button_ids[control_button_count] = {IDC_START_SERVICE, IDC_CONTINUE_SERVICE,
                                                          IDC_PAUSE_SERVICE, IDC_STOP_SERVICE};

// Under Wine every EnableWindow is a round trip to the server even when nothing changes;
// reading the state is not.
void set_enabled(HWND control, bool enabled) noexcept {
    if ((IsWindowEnabled(control) != FALSE) != enabled) {
        EnableWindow(control, enabled);
    }
}

// A failed configuration query counts as a start type other than Disabled.
bool start_allowed() noexcept {
    service_config_buffer buffer;
    const QUERY_SERVICE_CONFIGA* config = read_service_config(buffer);
    return config == nullptr || config->dwStartType != SERVICE_DISABLED;
}

} // namespace

void find_status_controls(HWND page, const page_texts& texts, status_controls& controls) noexcept {
    controls.status_text = GetDlgItem(page, IDC_STATUS_TEXT);
    for (int i = 0; i < start_type_count; ++i) {
        controls.start_types[i] = GetDlgItem(page, start_type_ids[i]);
    }
    for (int i = 0; i < control_button_count; ++i) {
        controls.buttons[i] = GetDlgItem(page, control_button_ids[i]);
    }
    controls.texts = &texts;
    controls.shown_text_id = 0;
}

void refresh_status(status_controls& controls) noexcept {
    SC_HANDLE service = service_handle();
    if (service == nullptr) {
        return;
    }
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) {
        return;
    }
    // Only a stopped service's picture depends on its start type, and only for a user who
    // may start it: the configuration is read for that case alone.
    const DWORD granted = granted_access();
    const bool allowed = !status_depends_on_start_type(status.dwCurrentState) ||
                         (granted & SERVICE_START) == 0 || start_allowed();

    // Every read enables them again: something outside the page (the host, an accessibility
    // tool) may have disabled them. Without the right to change the configuration they would
    // offer a choice Apply cannot write.
    const bool may_change = (granted & SERVICE_CHANGE_CONFIG) != 0;
    for (HWND radio : controls.start_types) {
        set_enabled(radio, may_change);
    }
    status_picture picture;
    if (!look_up_status(status.dwCurrentState, status.dwControlsAccepted, allowed, picture)) {
        return;
    }
    withhold_unpermitted(granted, picture);
    // Setting a window's text is a round trip to the server under Wine, and repaints the
    // control: it is written only when the state's text changes. The wide call keeps every
    // character of the page's language, whatever the dialog's ANSI code page.
    if (picture.text_id != controls.shown_text_id) {
        SetWindowTextW(controls.status_text, controls.texts->of(picture.text_id));
        controls.shown_text_id = picture.text_id;
    }
    for (int i = 0; i < control_button_count; ++i) {
        set_enabled(controls.buttons[i], picture.enabled[i]);
    }
}

void show_unconnected(status_controls& controls) noexcept {
    // Why there is no connection, as far as the last InitServiceControl learnt it.
    const int text_id = service_access_denied() ? IDS_ACCESS_DENIED : IDS_NOT_INSTALLED;
    SetWindowTextW(controls.status_text, controls.texts->of(text_id));
    controls.shown_text_id = text_id;
    for (HWND radio : controls.start_types) {
        set_enabled(radio, false);
        SendMessageA(radio, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    for (HWND button : controls.buttons) {
        set_enabled(button, false);
    }
}

} // namespace svcsheet
