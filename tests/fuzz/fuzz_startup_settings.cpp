// Fuzzes the start-type selection mapping and the service type written on apply.
#include "service/startup_settings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

using namespace svcsheet;

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

bool is_start_type_button(int selection) {
    return selection == IDC_START_AUTOMATIC || selection == IDC_START_MANUAL ||
           selection == IDC_START_DISABLED;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 13) {
        return 0;
    }
    std::int32_t selection = 0;
    std::uint32_t start_type = 0;
    std::uint32_t current_type = 0;
    std::memcpy(&selection, data, 4);
    std::memcpy(&start_type, data + 4, 4);
    std::memcpy(&current_type, data + 8, 4);
    const bool show = (data[12] & 1) != 0;
    const bool checked = (data[12] & 2) != 0;
    const bool type_known = (data[12] & 4) != 0;

    // Selection -> start type: the three buttons write a start type a user may choose, and
    // map back to themselves; everything else leaves the start type alone.
    const std::uint32_t written = start_type_for_selection(selection);
    if (is_start_type_button(selection)) {
        check(written == service_auto_start || written == service_demand_start ||
              written == service_disabled);
        check(selection_for_start_type(written) == selection);
    } else {
        check(written == service_no_change);
    }

    // Start type -> selection: a button for the three a user may choose, none for boot,
    // system or unknown start types; and back again.
    const int loaded = selection_for_start_type(start_type);
    if (start_type == service_auto_start || start_type == service_demand_start ||
        start_type == service_disabled) {
        check(is_start_type_button(loaded));
        check(start_type_for_selection(loaded) == start_type);
    } else {
        check(loaded == selection_load_only);
    }

    // The service type written on apply.
    const std::optional<std::uint32_t> current =
        type_known ? std::optional<std::uint32_t>(current_type) : std::nullopt;
    const std::uint32_t type = service_type_to_write(show, checked, current);
    constexpr std::uint32_t win32 = service_win32_own_process | service_win32_share_process;
    if (!show || !type_known || (current_type & win32) == 0) {
        check(type == service_no_change);
        return 0;
    }
    // The box decides the interactive bit alone; every other bit is the service's own.
    check(((type & service_interactive_process) != 0) == checked);
    check((type & ~service_interactive_process) == (current_type & ~service_interactive_process));
    // Writing the same choice again changes nothing.
    check(service_type_to_write(true, checked, type) == type);
    // Unticking after ticking gives back the service without the bit.
    const std::uint32_t ticked = service_type_to_write(true, true, current);
    check(service_type_to_write(true, false, ticked) ==
          (current_type & ~service_interactive_process));
    return 0;
}
