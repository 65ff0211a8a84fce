// What the Service page shows for a service state: status text and control buttons.
// Platform-free.
#pragma once

#include <cstdint>

namespace svcsheet {

// The page's control buttons, in the order of their control ids (Start 1005 .. Stop 1008).
enum control_button : int { button_start, button_continue, button_pause, button_stop };
constexpr int control_button_count = 4;

struct status_picture {
    const char* text;
    bool enabled[control_button_count];
};

// Fills picture for the service's current state (dwCurrentState), the controls it accepts
// (dwControlsAccepted) and whether its start type lets it start. Returns false, leaving
// picture as it was, for a state outside 1..7: the page then keeps what it shows.
[[nodiscard]] bool look_up_status(std::uint32_t current_state, std::uint32_t controls_accepted,
                                  bool start_allowed, status_picture& picture) noexcept;

// Whether the picture for current_state depends on start_allowed; when it does not, the start
// type need not be read.
[[nodiscard]] bool status_depends_on_start_type(std::uint32_t current_state) noexcept;

} // namespace svcsheet
