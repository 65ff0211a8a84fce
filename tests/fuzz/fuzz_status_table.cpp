// Fuzzes the Service page's state table with properties of what a state lets the user do.
#include "service/status_table.h"
#include "service_page_ids.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using svcsheet::button_continue;
using svcsheet::button_pause;
using svcsheet::button_start;
using svcsheet::button_stop;
using svcsheet::control_button_count;
using svcsheet::status_picture;

constexpr std::uint32_t accept_stop = 0x1;
constexpr std::uint32_t accept_pause_continue = 0x2;
constexpr std::uint32_t service_stopped = 1;
constexpr std::uint32_t service_stop_pending = 3;

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

bool same(const status_picture& a, const status_picture& b) {
    if (a.text_id != b.text_id) {
        return false;
    }
    for (int i = 0; i < control_button_count; ++i) {
        if (a.enabled[i] != b.enabled[i]) {
            return false;
        }
    }
    return true;
}

status_picture untouched() {
    return {-1, {true, false, true, false}};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    std::uint32_t state = 0;
    std::uint32_t accepted = 0;
    std::memcpy(&state, data, 4);
    std::memcpy(&accepted, data + 4, 4);
    const bool start_allowed = (data[8] & 1) != 0;

    status_picture picture = untouched();
    const bool known = svcsheet::look_up_status(state, accepted, start_allowed, picture);
    // The seven service states are known; anything else changes nothing on the page.
    check(known == (state >= 1 && state <= 7));
    if (!known) {
        check(same(picture, untouched()));
        return 0;
    }
    // Each state has its own text, in every language's string table.
    check(picture.text_id == IDS_STATUS_BASE + static_cast<int>(state));
    const bool* on = picture.enabled;

    // A button for a control the service does not accept is never offered.
    check(!on[button_stop] || (accepted & accept_stop) != 0);
    check(!on[button_pause] || (accepted & accept_pause_continue) != 0);
    check(!on[button_continue] || (accepted & accept_pause_continue) != 0);
    // Start only for a stopped service that may start; then nothing else.
    check(!on[button_start] || (state == service_stopped && start_allowed));
    check(!on[button_start] || (!on[button_stop] && !on[button_pause] && !on[button_continue]));
    check(!(on[button_pause] && on[button_continue]));
    // A stopping service offers nothing.
    if (state == service_stop_pending) {
        check(!on[button_start] && !on[button_stop] && !on[button_pause] && !on[button_continue]);
    }

    // Only the two accept bits matter, only Start depends on the start type, and the text
    // depends on the state alone.
    status_picture masked = untouched();
    check(svcsheet::look_up_status(state, accepted & (accept_stop | accept_pause_continue),
                                   start_allowed, masked));
    check(same(picture, masked));
    status_picture other_start = untouched();
    check(svcsheet::look_up_status(state, accepted, !start_allowed, other_start));
    check(picture.text_id == other_start.text_id);
    for (int i = 0; i < control_button_count; ++i) {
        check(i == button_start || on[i] == other_start.enabled[i]);
    }
    // Accepting more never takes a button away.
    status_picture accepting_all = untouched();
    check(svcsheet::look_up_status(state, accept_stop | accept_pause_continue, start_allowed,
                                   accepting_all));
    for (int i = 0; i < control_button_count; ++i) {
        check(!on[i] || accepting_all.enabled[i]);
    }
    return 0;
}
