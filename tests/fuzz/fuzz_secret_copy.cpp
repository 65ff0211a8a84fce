// Fuzzes the secret copy arithmetic: any secret length into any buffer size, each in a
// heap block of exactly its size so that AddressSanitizer sees any stray byte; and the
// counted lengths of any string.
#include "secret/secret_copy.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Past the largest counted string (65535 bytes), yet small enough for quick runs.
constexpr std::size_t max_size = 70000;
constexpr std::uint8_t untouched = 0xEE;

std::uint32_t take32(const std::uint8_t*& data, std::size_t& size) {
    std::uint32_t value = 0;
    const std::size_t n = std::min<std::size_t>(size, 4);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// A size from an input word: mostly small, where the boundaries are; up to max_size
// when bits 28 to 30 are all set.
std::size_t bounded(std::uint32_t word) {
    const bool large = (word >> 28 & 7) == 7;
    return large ? word % (max_size + 1) : word % 512;
}

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// Fills bytes with the pattern repeated (with a counting pattern when there is none).
void fill(std::uint8_t* bytes, std::size_t size, const std::uint8_t* pattern,
          std::size_t pattern_size) {
    if (pattern_size == 0) {
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i);
        }
        return;
    }
    // Doubling the filled part keeps a short pattern from costing a call a copy.
    std::size_t filled = std::min(pattern_size, size);
    std::memcpy(bytes, pattern, filled);
    while (filled < size) {
        const std::size_t more = std::min(filled - filled % pattern_size, size - filled);
        std::memcpy(bytes + filled, bytes, more);
        filled += more;
    }
}

bool all_untouched(const std::uint8_t* bytes, std::size_t size) {
    static std::uint8_t reference[max_size];
    static const bool ready = (std::memset(reference, untouched, sizeof reference), true);
    (void)ready;
    return size == 0 || std::memcmp(bytes, reference, size) == 0;
}

void fuzz_copy(std::size_t secret_bytes, std::size_t buffer_bytes, const std::uint8_t* payload,
               std::size_t payload_size, bool null_secret) {
    std::unique_ptr<std::uint8_t[]> secret(new std::uint8_t[secret_bytes]);
    fill(secret.get(), secret_bytes, payload, payload_size);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[buffer_bytes]);
    std::memset(buffer.get(), untouched, buffer_bytes);

    const bool copied = svcsheet::copy_secret(null_secret ? nullptr : secret.get(), secret_bytes,
                                              buffer.get(), buffer_bytes);
    // The secret's whole characters and a 16-bit zero after them, or, when they do not all fit
    // with the terminator, nothing at all: never a secret cut short.
    const std::size_t length = null_secret ? 0 : secret_bytes;
    const std::size_t terminator = length / 2 * 2;
    check(copied == (terminator + 2 <= buffer_bytes));
    if (!copied) {
        check(all_untouched(buffer.get(), buffer_bytes));
        return;
    }
    check(std::memcmp(buffer.get(), secret.get(), terminator) == 0);
    check(buffer[terminator] == 0 && buffer[terminator + 1] == 0);
    const std::size_t after = terminator + 2;
    check(all_untouched(buffer.get() + after, buffer_bytes - after));
}

void fuzz_counted(const std::uint8_t* data, std::size_t size, std::size_t units) {
    // A terminated string of the input's characters, repeated to the length asked for.
    std::unique_ptr<char16_t[]> text(new char16_t[units + 1]);
    fill(reinterpret_cast<std::uint8_t*>(text.get()), units * 2, data, size / 2 * 2);
    text[units] = 0;
    const std::size_t characters = std::char_traits<char16_t>::length(text.get());

    svcsheet::counted_length lengths = {1, 1};
    const bool fits = svcsheet::measure_counted_string(text.get(), lengths);
    check(fits == (characters <= svcsheet::max_counted_characters));
    if (fits) {
        check(lengths.length == characters * 2);
        check(lengths.maximum_length == characters * 2 + 2);
    } else {
        check(lengths.length == 0 && lengths.maximum_length == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint32_t secret_word = take32(data, size);
    const std::uint32_t buffer_word = take32(data, size);
    const std::size_t secret_bytes = bounded(secret_word);
    const std::size_t buffer_bytes = bounded(buffer_word);
    const bool null_secret = (secret_word >> 31) != 0;
    fuzz_copy(secret_bytes, buffer_bytes, data, size, null_secret);
    if (size >= 2) {
        // A buffer word whose top four bits are set asks for a string of the length in
        // its bits 8 to 23, which reaches past the longest counted string; any other
        // word, for the input's own length.
        const bool long_string = (buffer_word >> 28) == 0xF;
        fuzz_counted(data, size, long_string ? buffer_word >> 8 & 0xFFFF : size / 2);
    }
    return 0;
}
