// Counted-string lengths and the copy of a secret into a caller's buffer. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace svcsheet {

// Byte lengths of a UTF-16 string as the local security authority counts it: length
// without the terminator, maximum length with it. Both must fit in 16 bits.
struct counted_length {
    std::uint16_t length;
    std::uint16_t maximum_length;
};

// The longest string whose maximum length (two bytes a character plus two for the
// terminator) still fits in 16 bits.
constexpr std::size_t max_counted_characters = 32766;

// The smallest buffer GetSecret accepts: room for the terminator alone.
constexpr std::size_t min_secret_buffer_bytes = 2;

// Lengths of a string of the given number of characters; false when it is too long.
[[nodiscard]] bool counted_length_of(std::size_t characters, counted_length& out) noexcept;

// Lengths of a zero-terminated UTF-16 string (any 16-bit character type); a null
// string counts as empty with maximum length 0. Scans at most one character past the
// limit, so an over-long string is refused without reading all of it.
template <typename Char>
[[nodiscard]] bool measure_counted_string(const Char* text, counted_length& out) noexcept {
    static_assert(sizeof(Char) == 2, "UTF-16 code units");
    out = {0, 0};
    if (text == nullptr) {
        return true;
    }
    std::size_t characters = 0;
    while (characters <= max_counted_characters && text[characters] != 0) {
        ++characters;
    }
    return counted_length_of(characters, out);
}

// How a secret of secret_bytes goes into a buffer of buffer_bytes: the first `bytes`
// bytes are copied, then a 16-bit zero is written at character `terminator_index`.
struct secret_copy_plan {
    std::size_t bytes;
    std::size_t terminator_index;
};

// False, and nothing to do, when the buffer cannot hold the whole secret and its terminator:
// a credential cut short is not the credential. An odd last byte is no character and is
// dropped.
[[nodiscard]] bool plan_secret_copy(std::size_t secret_bytes, std::size_t buffer_bytes,
                                    secret_copy_plan& out) noexcept;

// Copies the secret into the buffer by plan_secret_copy; false, with the buffer
// untouched, when the buffer is null or the secret and its terminator do not fit. A null
// secret counts as empty.
[[nodiscard]] bool copy_secret(const void* secret, std::size_t secret_bytes, void* buffer,
                               std::size_t buffer_bytes) noexcept;

} // namespace svcsheet
