// Context-help map lookup.
#include "sheet/help_map.h"

namespace svcsheet {

std::uint32_t lookup_help_map(const help_map_entry* map, std::uint32_t control_id) noexcept {
    if (map == nullptr) {
        return 0;
    }
    // The terminator test comes first, so control id 0 never matches an entry.
    for (const help_map_entry* entry = map; entry->control_id != 0; ++entry) {
        if (entry->control_id == control_id) {
            return entry->help_context_id;
        }
    }
    return 0;
}

} // namespace svcsheet
