// An owning SC_HANDLE: closed exactly once, by its owner.
#pragma once

#include <windows.h>

#include <utility>

namespace svcsheet {

class unique_sc_handle {
public:
    unique_sc_handle() noexcept = default;
    explicit unique_sc_handle(SC_HANDLE handle) noexcept : handle_(handle) {}
    ~unique_sc_handle() { reset(); }

    unique_sc_handle(unique_sc_handle&& other) noexcept : handle_(other.release()) {}
    unique_sc_handle& operator=(unique_sc_handle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_sc_handle(const unique_sc_handle&) = delete;
    unique_sc_handle& operator=(const unique_sc_handle&) = delete;

    [[nodiscard]] SC_HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    [[nodiscard]] SC_HANDLE release() noexcept { return std::exchange(handle_, nullptr); }

    void reset(SC_HANDLE handle = nullptr) noexcept {
        SC_HANDLE old = std::exchange(handle_, handle);
        if (old != nullptr) {
            CloseServiceHandle(old);
        }
    }

private:
    SC_HANDLE handle_ = nullptr;
};

} // namespace svcsheet
