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
    unsigned connection_serial; // of the connection the page shows
    svcsheet::startup_edit edit;
    svcsheet::status_controls controls;
    svcsheet::page_texts texts;
};

page_state* state_of(HWND page) {
    return reinterpret_cast<page_state*>(GetWindowLongPtrA(page, DWLP_USER));
}

void mark_changed(HWND page, bool changed) {
    SendMessageA(GetParent(page), changed ? PSM_CHANGED : PSM_UNCHANGED,
                 reinterpret_cast<WPARAM>(page), 0);
}

// Shown as the host asked, but usable only where Apply can write it (no rights without a
// connection).
void enable_check_box(HWND page, bool show) {
    const bool may_change = (svcsheet::granted_access() & SERVICE_CHANGE_CONFIG) != 0;
    EnableWindow(GetDlgItem(page, IDC_INTERACT_WITH_DESKTOP), show && may_change);
}

// Loads the connection there is now: a page whose connection went (a host may release it, or
// fail to replace it, from inside the sheet) becomes the inert page it would have opened as.
void load_connection(HWND page, page_state& state) {
    state.connection_serial = svcsheet::connection_serial();
    enable_check_box(page, state.edit.interaction_shown);
    svcsheet::load_settings(page, state.edit, state.controls);
    if (svcsheet::service_handle() == nullptr) {
        svcsheet::show_unconnected(state.controls);
        CheckDlgButton(page, IDC_INTERACT_WITH_DESKTOP, BST_UNCHECKED);
    }
}

INT_PTR on_init_dialog(HWND page) {
    // The page acts on the flag it opened with, whatever a later AddServiceControlPage sets.
    const bool show = svcsheet::show_interaction();
    ShowWindow(GetDlgItem(page, IDC_INTERACT_WITH_DESKTOP), show ? SW_SHOWNORMAL : SW_HIDE);

    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(page_state));
    if (memory == nullptr) {
        enable_check_box(page, show);
        return FALSE; // the page stays as its template shows it: "Not Installed", inert
    }
    page_state* state = new (memory) page_state{};
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    state->edit.interaction_shown = show;
    svcsheet::load_page_texts(svcsheet::library_module(), state->texts);
    svcsheet::find_status_controls(page, state->texts, state->controls);
    state->timer_id = SetTimer(page, refresh_timer_id, refresh_interval_ms, nullptr);
    load_connection(page, *state);
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
    page_state* state = state_of(page);
    if (state == nullptr) {
        return TRUE;
    }
    if (state->connection_serial == svcsheet::connection_serial()) {
        svcsheet::refresh_status(state->controls);
    } else {
        // Pending edits were meant for the connection that went.
        load_connection(page, *state);
        mark_changed(page, false);
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
            const bool checked = IsDlgButtonChecked(page, static_cast<int>(wparam)) == BST_CHECKED;
            mark_changed(page, svcsheet::take_start_type_click(state->edit,
                                                               static_cast<int>(wparam), checked));
        }
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
        mark_changed(page, true);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR on_apply(HWND page, page_state& state) {
    svcsheet::apply_outcome outcome = {false, false};
    if (state.connection_serial == svcsheet::connection_serial()) {
        outcome = svcsheet::apply_settings(page, state.edit, state.controls);
        svcsheet::refresh_status(state.controls);
    } else {
        // Not written to a connection the choice was not made on.
        outcome.refused = svcsheet::edit_pending(state.edit);
        load_connection(page, state);
    }
    if (outcome.stored) {
        // Cancel cannot take back what was stored, even when some of the change was refused.
        PostMessageA(GetParent(page), PSM_CANCELTOCLOSE, 0, 0);
    }
    if (!outcome.refused) {
        return FALSE; // PSNRET_NOERROR
    }
    // The page has reloaded what the service has: nothing is pending, so Apply goes dark, and
    // the sheet stays open and brings this page forward, from whichever page OK was pressed on.
    mark_changed(page, false);
    SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_INVALID);
    return TRUE;
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
            return on_apply(page, *state);
        }
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
