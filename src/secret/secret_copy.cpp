// Counted-string lengths and the copy of a secret into a caller's buffer.
#include "secret/secret_copy.h"

#include <cstring>

namespace svcsheet {

bool counted_length_of(std::size_t characters, counted_length& out) noexcept {
    out = {0, 0};
    if (characters > max_counted_characters) {
        return false;
    }
    const auto length = static_cast<std::uint16_t>(characters * 2);
    out = {length, static_cast<std::uint16_t>(length + 2)};
    return true;
}

bool plan_secret_copy(std::size_t secret_bytes, std::size_t buffer_bytes,
                      secret_copy_plan& out) noexcept {
    out = {0, 0};
    // An odd buffer size leaves its last byte outside every whole character.
    const std::size_t characters = secret_bytes / 2;
    if (buffer_bytes < min_secret_buffer_bytes || characters >= buffer_bytes / 2) {
        return false;
    }
    out.bytes = characters * 2;
    out.terminator_index = characters;
    return true;
}

bool copy_secret(const void* secret, std::size_t secret_bytes, void* buffer,
                 std::size_t buffer_bytes) noexcept {
    if (secret == nullptr) {
        secret_bytes = 0;
    }
    secret_copy_plan plan;
    if (buffer == nullptr || !plan_secret_copy(secret_bytes, buffer_bytes, plan)) {
        return false;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    if (plan.bytes != 0) {
        std::memcpy(bytes, secret, plan.bytes);
    }
    // Byte-wise: the caller's buffer need not be aligned for a 16-bit store.
    std::memset(bytes + plan.terminator_index * 2, 0, 2);
    return true;
}

} // namespace svcsheet
