// Context-help map lookup: control id -> help context id. Platform-free.
#pragma once

#include <cstdint>

namespace svcsheet {

// One entry of a help map; a map ends with an entry whose control id is 0.
struct help_map_entry {
    std::uint32_t control_id;
    std::uint32_t help_context_id;
};

// The help context id of the first entry for control_id, or 0 when the map has none.
// A null map has no entries.
[[nodiscard]] std::uint32_t lookup_help_map(const help_map_entry* map,
                                            std::uint32_t control_id) noexcept;

} // namespace svcsheet
