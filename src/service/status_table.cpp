// The state table of the Service page.
#include "service/status_table.h"

#include "service_page_ids.h"

namespace svcsheet {
namespace {

constexpr std::uint32_t accept_stop = 0x1;           // SERVICE_ACCEPT_STOP
constexpr std::uint32_t accept_pause_continue = 0x2; // SERVICE_ACCEPT_PAUSE_CONTINUE

// When a button is enabled.
enum class enable_rule : std::uint8_t { off, start_allowed, accepts_stop, accepts_pause };

struct state_row {
    int text_id;
    enable_rule buttons[control_button_count]; // Start, Continue, Pause, Stop
};

using r = enable_rule;

// Indexed by dwCurrentState - 1 (SERVICE_STOPPED .. SERVICE_PAUSED).
constexpr state_row state_rows[] = {
    {IDS_STATUS_STOPPED, {r::start_allowed, r::off, r::off, r::off}},
    {IDS_STATUS_START_PENDING, {r::off, r::off, r::off, r::accepts_stop}},
    {IDS_STATUS_STOP_PENDING, {r::off, r::off, r::off, r::off}},
    {IDS_STATUS_RUNNING, {r::off, r::off, r::accepts_pause, r::accepts_stop}},
    {IDS_STATUS_CONTINUE_PENDING, {r::off, r::off, r::accepts_pause, r::accepts_stop}},
    {IDS_STATUS_PAUSE_PENDING, {r::off, r::accepts_pause, r::off, r::accepts_stop}},
    {IDS_STATUS_PAUSED, {r::off, r::accepts_pause, r::off, r::accepts_stop}},
};
constexpr std::uint32_t state_count = sizeof state_rows / sizeof state_rows[0];

// The access right each button's action needs, in the order of control_button.
constexpr std::uint32_t button_access[control_button_count] = {access_start, access_pause_continue,
                                                               access_pause_continue, access_stop};

bool applies(enable_rule rule, std::uint32_t controls_accepted, bool start_allowed) {
    switch (rule) {
    case enable_rule::start_allowed:
        return start_allowed;
    case enable_rule::accepts_stop:
        return (controls_accepted & accept_stop) != 0;
    case enable_rule::accepts_pause:
        return (controls_accepted & accept_pause_continue) != 0;
    case enable_rule::off:
        break;
    }
    return false;
}

bool in_table(std::uint32_t current_state) {
    return current_state >= 1 && current_state <= state_count;
}

} // namespace

bool look_up_status(std::uint32_t current_state, std::uint32_t controls_accepted,
                    bool start_allowed, status_picture& picture) noexcept {
    if (!in_table(current_state)) {
        return false;
    }
    const state_row& row = state_rows[current_state - 1];
    picture.text_id = row.text_id;
    for (int i = 0; i < control_button_count; ++i) {
        picture.enabled[i] = applies(row.buttons[i], controls_accepted, start_allowed);
    }
    return true;
}

void withhold_unpermitted(std::uint32_t granted_access, status_picture& picture) noexcept {
    for (int i = 0; i < control_button_count; ++i) {
        picture.enabled[i] = picture.enabled[i] && (granted_access & button_access[i]) != 0;
    }
}

bool status_depends_on_start_type(std::uint32_t current_state) noexcept {
    if (!in_table(current_state)) {
        return false;
    }
    for (enable_rule rule : state_rows[current_state - 1].buttons) {
        if (rule == enable_rule::start_allowed) {
            return true;
        }
    }
    return false;
}

} // namespace svcsheet
