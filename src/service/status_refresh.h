// Shows the connected service's current state on the Service page.
#pragma once

#include <windows.h>

#include "service/page_texts.h"
#include "service/status_table.h"

namespace svcsheet {

constexpr int start_type_count = 3;

// One page's controls, looked up once when it opens (under Wine every GetDlgItem is a round
// trip to the server), and what the page shows now.
struct status_controls {
    HWND status_text;
    HWND start_types[start_type_count]; // Automatic, Manual, Disabled
    HWND buttons[control_button_count]; // in the order of control_button
    const page_texts* texts;            // the page's own, in its template's language
    int shown_text_id;                  // from the state table; 0 until the first refresh
};

void find_status_controls(HWND page, const page_texts& texts, status_controls& controls) noexcept;

// Sets the status text and enables the start-type radio buttons and the control buttons that
// the service's state and the user's rights on it allow. Without a connection, or when the
// service's status cannot be read, the page keeps what it shows. Allocates nothing: it runs on
// every timer tick.
void refresh_status(status_controls& controls) noexcept;

// What a page without a connection shows: "Not Installed", or "Access Denied" when the service
// was there but refused, and every start-type and control button disabled and unchecked.
void show_unconnected(status_controls& controls) noexcept;

} // namespace svcsheet
