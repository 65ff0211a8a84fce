// The Service page: adding it to the sheet, and its dialog procedure.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"

#include "service/connection.h"
#include "service/page_help.h"
#include "service/settings_sync.h"
#include "service/startup_settings.h"
#include "service/status_refresh.h"
#include "service_page_ids.h"
#include "sheet/sheet.h"

namespace {

constexpr UINT_PTR refresh_timer_id = 1;
constexpr UINT refresh_interval_ms = 100;

struct page_state {
    SVCSHEET_HELP_CALLBACK help_callback;
    UINT_PTR timer_id;
    int selection; // the pending start-type choice
};

page_state g_page = {nullptr, 0, svcsheet::selection_no_change};

void mark_changed(HWND page) {
    SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

INT_PTR on_init_dialog(HWND page) {
    const bool show = svcsheet::show_interaction();
    HWND check_box = GetDlgItem(page, IDC_INTERACT_WITH_DESKTOP);
    EnableWindow(check_box, show);
    ShowWindow(check_box, show ? SW_SHOWNORMAL : SW_HIDE);
    g_page.timer_id = SetTimer(page, refresh_timer_id, refresh_interval_ms, nullptr);
    g_page.selection = svcsheet::sync_settings(page, svcsheet::selection_load_only);
    return FALSE;
}

INT_PTR on_destroy(HWND page) {
    KillTimer(page, g_page.timer_id);
    svcsheet::forget_page_controls(page);
    return FALSE;
}

INT_PTR on_timer(HWND page) {
    svcsheet::refresh_status(page, IDC_STATUS_TEXT);
    return TRUE;
}

INT_PTR control_service(DWORD control) {
    SERVICE_STATUS status;
    ControlService(svcsheet::service_handle(), control, &status);
    return TRUE;
}

// The whole wParam is matched, so only clicks (notification code 0) act.
INT_PTR on_command(HWND page, WPARAM wparam) {
    switch (wparam) {
    case IDC_START_AUTOMATIC:
    case IDC_START_MANUAL:
    case IDC_START_DISABLED:
        g_page.selection = static_cast<int>(wparam);
        mark_changed(page);
        return TRUE;
    case IDC_START_SERVICE:
        StartServiceA(svcsheet::service_handle(), 0, nullptr);
        return TRUE;
    case IDC_CONTINUE_SERVICE:
        return control_service(SERVICE_CONTROL_CONTINUE);
    case IDC_PAUSE_SERVICE:
        return control_service(SERVICE_CONTROL_PAUSE);
    case IDC_STOP_SERVICE:
        return control_service(SERVICE_CONTROL_STOP);
    case IDC_INTERACT_WITH_DESKTOP:
        mark_changed(page);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR on_notify(HWND page, const NMHDR* header) {
    // Any window can send WM_NOTIFY; one without its header is nobody's notification.
    if (header == nullptr) {
        return FALSE;
    }
    switch (header->code) {
    case PSN_APPLY:
        // The pending choice becomes what the service now has: after a refused change, a
        // later OK must not write the choice the page no longer shows.
        g_page.selection = svcsheet::sync_settings(page, g_page.selection);
        svcsheet::refresh_status(page, IDC_STATUS_TEXT);
        PostMessageA(GetParent(page), PSM_CANCELTOCLOSE, 0, 0);
        break;
    case PSN_RESET:
        g_page.selection = svcsheet::sync_settings(page, svcsheet::selection_load_only);
        break;
    case PSN_HELP:
        if (g_page.help_callback != nullptr) {
            g_page.help_callback(page, HELP_CONTEXT, svcsheet::service_page_help_context, 0);
        }
        break;
    default:
        break;
    }
    // PSN_APPLY thereby reports PSNRET_NOERROR.
    return FALSE;
}

INT_PTR on_help(HWND page, const HELPINFO* info) {
    // A WM_HELP sent without its HELPINFO names no control, so it gets no help.
    if (g_page.help_callback == nullptr || info == nullptr) {
        return FALSE;
    }
    const DWORD context = svcsheet::lookup_help_map(svcsheet::service_page_help_map,
                                                    static_cast<std::uint32_t>(info->iCtrlId));
    if (context == 0) {
        return FALSE;
    }
    return g_page.help_callback(page, HELP_CONTEXTPOPUP, context, 0);
}

INT_PTR CALLBACK service_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        return on_init_dialog(page);
    case WM_DESTROY:
        return on_destroy(page);
    case WM_TIMER:
        return on_timer(page);
    case WM_COMMAND:
        return on_command(page, wparam);
    case WM_NOTIFY:
        return on_notify(page, reinterpret_cast<const NMHDR*>(lparam));
    case WM_HELP:
        return on_help(page, reinterpret_cast<const HELPINFO*>(lparam));
    default:
        return FALSE;
    }
}

} // namespace

extern "C" int WINAPI AddServiceControlPage(BOOL show_interaction,
                                            SVCSHEET_HELP_CALLBACK help_callback) {
    // Only 0 and 1 are meaningful; any other true value shows the box normally.
    svcsheet::set_show_interaction(show_interaction != FALSE);
    g_page.help_callback = help_callback;
    return AddTabbedPage(svcsheet::library_module(), MAKEINTRESOURCEA(IDD_SERVICE_PAGE),
                         service_page_proc);
}
