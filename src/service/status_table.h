// What the Service page shows for a service state: status text and control buttons.
// Platform-free.
#pragma once

#include <cstdint>

namespace svcsheet {

// The page's control buttons, in the order of their control ids (Start 1005 .. Stop 1008).
enum control_button : int { button_start, button_continue, button_pause, button_stop };
constexpr int control_button_count = 4;

struct status_picture {
    int text_id; // the string id of the state's text, in each language's string table
    bool enabled[control_button_count];
};

// Fills picture for the service's current state (dwCurrentState), the controls it accepts
// (dwControlsAccepted) and whether its start type lets it start. Returns false, leaving
// picture as it was, for a state outside 1..7: the page then keeps what it shows.
[[nodiscard]] bool look_up_status(std::uint32_t current_state, std::uint32_t controls_accepted,
                                  bool start_allowed, status_picture& picture) noexcept;

// The service access rights, as the platform numbers them, that the page's actions need.
constexpr std::uint32_t access_change_config = 0x0002;  // SERVICE_CHANGE_CONFIG
constexpr std::uint32_t access_start = 0x0010;          // SERVICE_START
constexpr std::uint32_t access_stop = 0x0020;           // SERVICE_STOP
constexpr std::uint32_t access_pause_continue = 0x0040; // SERVICE_PAUSE_CONTINUE

// Turns off the buttons whose action granted_access does not allow: Start needs access_start,
// Continue and Pause access_pause_continue, Stop access_stop. A button the user may not use
// would only fail.
void withhold_unpermitted(std::uint32_t granted_access, status_picture& picture) noexcept;

// Whether the picture for current_state depends on start_allowed; when it does not, the start
// type need not be read.
[[nodiscard]] bool status_depends_on_start_type(std::uint32_t current_state) noexcept;

} // namespace svcsheet
