// Named secrets kept by the local security authority as private data, through one
// process-wide policy handle.
#include <windows.h>
#include <ntsecapi.h>

#include "svcsheet.h"
#include "secret/secret_copy.h"

namespace {

constexpr NTSTATUS status_success = 0;
constexpr ACCESS_MASK read_write_access = POLICY_READ | POLICY_WRITE;
constexpr ACCESS_MASK read_only_access = POLICY_READ;
static_assert(read_write_access == 0x207FE, "policy read and write rights");
static_assert(read_only_access == 0x20006, "policy read rights");
static_assert(sizeof(SECURITY_QUALITY_OF_SERVICE) == 12, "quality-of-service record");
#ifndef _WIN64
static_assert(sizeof(LSA_OBJECT_ATTRIBUTES) == 24, "object attributes record");
#endif

// GetSecret's results.
constexpr int secret_read = 0;
constexpr int store_closed = 1;
constexpr int secret_not_read = 2;

struct secret_state {
    LSA_HANDLE policy; // null while the store is closed
};

secret_state g_secret;

// A counted string that borrows the caller's text; false when it is too long to count.
bool borrow_counted(LPCWSTR text, LSA_UNICODE_STRING& out) noexcept {
    svcsheet::counted_length lengths;
    if (!svcsheet::measure_counted_string(text, lengths)) {
        return false;
    }
    out.Length = lengths.length;
    out.MaximumLength = lengths.maximum_length;
    // The platform only reads the text; its record just lacks the const.
    out.Buffer = const_cast<PWSTR>(text);
    return true;
}

// Owns a string the local security authority allocated and wipes the secret in it
// before giving the memory back.
class lsa_secret {
public:
    lsa_secret() = default;
    ~lsa_secret() { reset(); }
    lsa_secret(const lsa_secret&) = delete;
    lsa_secret& operator=(const lsa_secret&) = delete;

    PLSA_UNICODE_STRING* receive() noexcept {
        reset();
        return &data_;
    }
    const LSA_UNICODE_STRING* get() const noexcept { return data_; }

private:
    void reset() noexcept {
        if (data_ == nullptr) {
            return;
        }
        if (data_->Buffer != nullptr) {
            SecureZeroMemory(data_->Buffer, data_->Length);
        }
        LsaFreeMemory(data_);
        data_ = nullptr;
    }

    PLSA_UNICODE_STRING data_ = nullptr;
};

bool open_policy(ACCESS_MASK access) noexcept {
    SECURITY_QUALITY_OF_SERVICE quality = {};
    quality.Length = sizeof quality;
    quality.ImpersonationLevel = SecurityImpersonation;
    quality.ContextTrackingMode = SECURITY_DYNAMIC_TRACKING;
    quality.EffectiveOnly = FALSE;

    LSA_OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.SecurityQualityOfService = &quality;

    LSA_HANDLE policy = nullptr;
    if (LsaOpenPolicy(nullptr, &attributes, access, &policy) != status_success) {
        return false;
    }
    g_secret.policy = policy;
    return true;
}

void close_policy() noexcept {
    if (g_secret.policy != nullptr) {
        LsaClose(g_secret.policy);
        g_secret.policy = nullptr;
    }
}

} // namespace

extern "C" int WINAPI InitializeSecret(void) {
    // Opening again must not leak the handle already held.
    close_policy();
    // A read-only store still reads secrets; storing then fails at the platform.
    return open_policy(read_write_access) || open_policy(read_only_access) ? 1 : 0;
}

extern "C" int WINAPI StoreSecret(LPCWSTR name, LPCWSTR value) {
    if (g_secret.policy == nullptr) {
        return 0;
    }
    LSA_UNICODE_STRING key;
    LSA_UNICODE_STRING data;
    if (!borrow_counted(name, key) || !borrow_counted(value, data)) {
        return 0;
    }
    // No data at all, not an empty string, is what deletes the secret.
    const NTSTATUS status =
        LsaStorePrivateData(g_secret.policy, &key, value != nullptr ? &data : nullptr);
    return status == status_success ? 1 : 0;
}

extern "C" int WINAPI GetSecret(LPCWSTR name, LPWSTR buffer, DWORD buffer_bytes) {
    if (g_secret.policy == nullptr) {
        return store_closed;
    }
    // The terminator needs a whole character of room.
    if (buffer == nullptr || buffer_bytes < svcsheet::min_secret_buffer_bytes) {
        return secret_not_read;
    }
    LSA_UNICODE_STRING key;
    if (!borrow_counted(name, key)) {
        return secret_not_read;
    }
    lsa_secret secret;
    const NTSTATUS status = LsaRetrievePrivateData(g_secret.policy, &key, secret.receive());
    if (LsaNtStatusToWinError(status) != ERROR_SUCCESS) {
        return secret_not_read;
    }
    // An empty secret may come back as no string, or as one without a buffer.
    const LSA_UNICODE_STRING* data = secret.get();
    const void* bytes = data != nullptr ? data->Buffer : nullptr;
    const std::size_t length = data != nullptr ? data->Length : 0;
    return svcsheet::copy_secret(bytes, length, buffer, buffer_bytes) ? secret_read
                                                                      : secret_not_read;
}

extern "C" int WINAPI ShutdownSecret(void) {
    close_policy();
    return 1;
}
