// Test support: a caller's buffer with guard bytes on both sides, to see any write
// outside the bytes the library was told about.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace test_support {

class guarded_buffer {
public:
    static constexpr BYTE untouched = 0xA5;
    static constexpr std::size_t guard = 16;

    // offset shifts the buffer off its natural alignment (1 makes it odd).
    explicit guarded_buffer(std::size_t bytes, std::size_t offset = 0)
        : size_(bytes), offset_(offset), data_(guard + offset + bytes + guard, untouched) {}

    BYTE* get() { return reinterpret_cast<BYTE*>(&data_[guard + offset_]); }
    LPWSTR wide() { return reinterpret_cast<LPWSTR>(get()); }
    DWORD bytes() const { return static_cast<DWORD>(size_); }
    BYTE at(std::size_t i) const { return static_cast<BYTE>(data_[guard + offset_ + i]); }

    // The text up to its terminator, or up to the end of the buffer.
    std::wstring wide_text() const {
        std::wstring text;
        for (std::size_t i = 0; i + 1 < size_; i += 2) {
            const wchar_t c = static_cast<wchar_t>(at(i) | at(i + 1) << 8);
            if (c == 0) {
                break;
            }
            text += c;
        }
        return text;
    }

    bool all_untouched() const { return count_changed(0, data_.size()) == 0; }
    bool all_zero() const {
        for (std::size_t i = 0; i < size_; ++i) {
            if (at(i) != 0) {
                return false;
            }
        }
        return true;
    }
    // Bytes changed in front of and behind the buffer.
    std::size_t guard_writes() const {
        return count_changed(0, guard + offset_) +
               count_changed(guard + offset_ + size_, data_.size());
    }

private:
    std::size_t count_changed(std::size_t from, std::size_t to) const {
        std::size_t changed = 0;
        for (std::size_t i = from; i < to; ++i) {
            changed += static_cast<BYTE>(data_[i]) != untouched ? 1 : 0;
        }
        return changed;
    }

    std::size_t size_;
    std::size_t offset_;
    std::string data_;
};

} // namespace test_support
