// Fuzzes the help-map lookup with properties of a lookup: any map, any id.
#include "sheet/help_map.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using svcsheet::help_map_entry;

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// Looks id up in a map held in a block of exactly its size, terminator last: reading past
// the terminator is a heap overflow the sanitizer reports.
std::uint32_t look_up(const std::vector<help_map_entry>& entries, std::uint32_t id) {
    auto map = std::make_unique<help_map_entry[]>(entries.size());
    std::copy(entries.begin(), entries.end(), map.get());
    return svcsheet::lookup_help_map(map.get(), id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    std::uint32_t id = 0;
    std::memcpy(&id, data, 4);
    data += 4;
    size -= 4;

    // The map runs up to the input's first entry with control id 0 (its context id kept, as a
    // careless map would have it), or gets a terminator; entries after it are left out.
    std::vector<help_map_entry> map(size / 8);
    if (!map.empty()) {
        std::memcpy(map.data(), data, map.size() * sizeof map[0]);
    }
    auto end = std::find_if(map.begin(), map.end(),
                            [](const help_map_entry& e) { return e.control_id == 0; });
    if (end == map.end()) {
        map.push_back({0, 0});
    } else {
        map.erase(end + 1, map.end());
    }
    const std::vector<help_map_entry> entries(map.begin(), map.end() - 1);

    const std::uint32_t found = look_up(map, id);
    const bool present = std::any_of(entries.begin(), entries.end(),
                                     [&](const help_map_entry& e) { return e.control_id == id; });

    // Control id 0 never matches, not even a terminator that carries a context id.
    if (id == 0) {
        check(found == 0);
        return 0;
    }
    // A hit is the context id of an entry for that control; an absent control gets 0.
    if (found != 0) {
        check(std::any_of(entries.begin(), entries.end(), [&](const help_map_entry& e) {
            return e.control_id == id && e.help_context_id == found;
        }));
    }
    if (!present) {
        check(found == 0);
    }
    // The first entry wins: one put in front decides, one put at the end only when the
    // control had none.
    constexpr std::uint32_t other = 0x5A5A5A5A;
    std::vector<help_map_entry> front = map;
    front.insert(front.begin(), {id, other});
    check(look_up(front, id) == other);
    std::vector<help_map_entry> back = map;
    back.insert(back.end() - 1, {id, other});
    check(look_up(back, id) == (present ? found : other));
    return 0;
}
