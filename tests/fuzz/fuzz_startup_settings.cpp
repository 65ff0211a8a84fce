// Fuzzes the start-type selection mapping and what Apply writes.
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

// The radio buttons and the start types they stand for, in the platform's own numbers,
// written out here apart from the table under test.
constexpr std::uint32_t no_change = 0xFFFFFFFF;

std::uint32_t expected_start_type(int selection) {
    switch (selection) {
    case 1001: // Automatic
        return 2;
    case 1002: // Manual
        return 3;
    case 1003: // Disabled
        return 4;
    default:
        return no_change;
    }
}

int expected_selection(std::uint32_t start_type) {
    switch (start_type) {
    case 2:
        return 1001;
    case 3:
        return 1002;
    case 4:
        return 1003;
    default:
        return 0; // boot, system start or unknown: load only
    }
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
    const bool clicked = (data[12] & 8) != 0;
    const bool toggled = (data[12] & 16) != 0;

    check(start_type_for_selection(selection) == expected_start_type(selection));
    check(selection_for_start_type(start_type) == expected_selection(start_type));

    // The service type written for the check box.
    const std::optional<std::uint32_t> current =
        type_known ? std::optional<std::uint32_t>(current_type) : std::nullopt;
    const std::uint32_t type = service_type_to_write(show, checked, current);
    constexpr std::uint32_t win32 = 0x10 | 0x20; // own process, shared process
    constexpr std::uint32_t interactive = 0x100;
    if (!show || !type_known || (current_type & win32) == 0) {
        check(type == no_change);
    } else {
        // The box decides the interactive bit alone; every other bit is the service's own.
        check(((type & interactive) != 0) == checked);
        check((type & ~interactive) == (current_type & ~interactive));
    }

    // Apply writes only what the user changed, and nothing for the load-only selection.
    const startup_edit edit = {show, selection, clicked, toggled, selection_load_only};
    config_change change = {1, 1};
    const bool write = change_to_apply(edit, checked, current, change);
    const bool load_only = selection == 0;
    check(change.start_type ==
          (clicked && !load_only ? expected_start_type(selection) : no_change));
    check(change.service_type == (toggled && !load_only ? type : no_change));
    check(write == (change.start_type != no_change || change.service_type != no_change));
    return 0;
}
