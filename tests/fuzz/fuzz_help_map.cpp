// Fuzzes the help-map lookup: any map that ends with a terminator, any id.
#include "sheet/help_map.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    std::uint32_t id = 0;
    std::memcpy(&id, data, 4);
    data += 4;
    size -= 4;

    // The rest of the input is the map; a terminator is appended so the walk must
    // stop at the first control id 0, wherever the input puts one.
    std::vector<svcsheet::help_map_entry> map(size / 8 + 1);
    std::memcpy(map.data(), data, size / 8 * 8);
    map.back() = {0, 0};

    std::uint32_t expected = 0;
    for (const auto& entry : map) {
        if (entry.control_id == 0) {
            break;
        }
        if (entry.control_id == id) {
            expected = entry.help_context_id;
            break;
        }
    }
    if (svcsheet::lookup_help_map(map.data(), id) != expected) {
        __builtin_trap();
    }
    return 0;
}
