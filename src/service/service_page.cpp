// The Service page: adding it to the sheet, and its dialog procedure.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"

#include "service/connection.h"
#include "service/page_help.h"
#include "service/page_texts.h"
#include "service/settings_sync.h"
#include "service/startup_settings.h"
#include "service/status_refresh.h"
#include "service_page_ids.h"
#include "sheet/sheet.h"

#include <new>

namespace {

constexpr UINT_PTR refresh_timer_id = 1;
constexpr UINT refresh_interval_ms = 100;

// A later AddServiceControlPage replaces the callback for every Service page.
SVCSHEET_HELP_CALLBACK g_help_callback;

// What one open Service page holds, from WM_INITDIALOG to WM_DESTROY, in its DWLP_USER: two
// pages open at once (two sheets, or one page added twice) each keep their own.
struct page_state {
    UINT_PTR timer_id;
    svcsheet::startup_edit edit;
    svcsheet::status_controls controls;
    svcsheet::page_texts texts;
};

page_state* state_of(HWND page) {
    return reinterpret_cast<page_state*>(GetWindowLongPtrA(page, DWLP_USER));
}

void mark_changed(HWND page) {
    SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

INT_PTR on_init_dialog(HWND page) {
    // The page acts on the flag it opened with, whatever a later AddServiceControlPage sets.
    const bool show = svcsheet::show_interaction();
    // Shown as the host asked, but usable only where Apply can write it (no rights without a
    // connection).
    const bool may_change = (svcsheet::granted_access() & SERVICE_CHANGE_CONFIG) != 0;
    HWND check_box = GetDlgItem(page, IDC_INTERACT_WITH_DESKTOP);
    EnableWindow(check_box, show && may_change);
    ShowWindow(check_box, show ? SW_SHOWNORMAL : SW_HIDE);

    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(page_state));
    if (memory == nullptr) {
        return FALSE; // the page stays as its template shows it: "Not Installed", inert
    }
    page_state* state = new (memory) page_state{};
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    state->edit.interaction_shown = show;
    svcsheet::load_page_texts(svcsheet::library_module(), state->texts);
    svcsheet::find_status_controls(page, state->texts, state->controls);
    state->timer_id = SetTimer(page, refresh_timer_id, refresh_interval_ms, nullptr);
    svcsheet::load_settings(page, state->edit, state->controls);
    return FALSE;
}

INT_PTR on_destroy(HWND page) {
    page_state* state = state_of(page);
    if (state != nullptr) {
        KillTimer(page, state->timer_id);
        SetWindowLongPtrA(page, DWLP_USER, 0);
        HeapFree(GetProcessHeap(), 0, state);
    }
    return FALSE;
}

INT_PTR on_timer(HWND page) {
    if (page_state* state = state_of(page)) {
        svcsheet::refresh_status(state->controls);
    }
    return TRUE;
}

INT_PTR control_service(DWORD control) {
    SERVICE_STATUS status;
    ControlService(svcsheet::service_handle(), control, &status);
    return TRUE;
}

// The whole wParam is matched, so only clicks (notification code 0) act.
INT_PTR on_command(HWND page, WPARAM wparam) {
    page_state* state = state_of(page);
    switch (wparam) {
    case IDC_START_AUTOMATIC:
    case IDC_START_MANUAL:
    case IDC_START_DISABLED:
        if (state != nullptr) {
            state->edit.selection = static_cast<int>(wparam);
            state->edit.start_type_clicked = true;
        }
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
        if (state != nullptr) {
            state->edit.interaction_toggled = true;
        }
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
    page_state* state = state_of(page);
    switch (header->code) {
    case PSN_APPLY:
        if (state != nullptr) {
            const bool written = svcsheet::apply_settings(page, state->edit, state->controls);
            svcsheet::refresh_status(state->controls);
            if (!written) {
                // The sheet stays open on this page, which now shows what took and what did
                // not; Cancel must not turn into Close over a choice that was not saved.
                SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_INVALID_NOCHANGEPAGE);
                return TRUE;
            }
        }
        PostMessageA(GetParent(page), PSM_CANCELTOCLOSE, 0, 0);
        break;
    case PSN_RESET:
        if (state != nullptr) {
            svcsheet::load_settings(page, state->edit, state->controls);
        }
        break;
    case PSN_HELP:
        if (g_help_callback != nullptr) {
            g_help_callback(page, HELP_CONTEXT, svcsheet::service_page_help_context, 0);
        }
        break;
    default:
        break;
    }
    // A PSN_APPLY that gets here thereby reports PSNRET_NOERROR.
    return FALSE;
}

INT_PTR on_help(HWND page, const HELPINFO* info) {
    // A WM_HELP sent without its HELPINFO names no control, and one for a menu item names a
    // menu command, whatever its id: neither gets a control's help.
    if (g_help_callback == nullptr || info == nullptr || info->iContextType != HELPINFO_WINDOW) {
        return FALSE;
    }
    const DWORD context = svcsheet::lookup_help_map(svcsheet::service_page_help_map,
                                                    static_cast<std::uint32_t>(info->iCtrlId));
    if (context == 0) {
        return FALSE;
    }
    return g_help_callback(page, HELP_CONTEXTPOPUP, context, 0);
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
    g_help_callback = help_callback;
    return AddTabbedPage(svcsheet::library_module(), MAKEINTRESOURCEA(IDD_SERVICE_PAGE),
                         service_page_proc);
}
