// Test support: the in-process local security authority.
#include "lsa_double.h"

#include "sheet_driver.h"

#include <cstring>

namespace test_support {
namespace {

lsa_double* g_lsa = nullptr;

counted_seen see(const LSA_UNICODE_STRING* text) {
    counted_seen seen;
    if (text != nullptr) {
        seen = {true, text->Length, text->MaximumLength, text->Buffer};
    }
    return seen;
}

std::wstring text_of(const LSA_UNICODE_STRING* text) {
    if (text == nullptr || text->Buffer == nullptr) {
        return {};
    }
    return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

} // namespace

struct lsa_calls {
    static NTSTATUS NTAPI open_policy(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES attributes,
                                      ACCESS_MASK access, PLSA_HANDLE policy) {
        g_lsa->opens.push_back(access);
        g_lsa->opened_remote = system != nullptr;
        g_lsa->attributes_present = attributes != nullptr;
        g_lsa->attributes = attributes != nullptr ? *attributes : LSA_OBJECT_ATTRIBUTES{};
        const auto* quality = attributes != nullptr
                                  ? static_cast<const SECURITY_QUALITY_OF_SERVICE*>(
                                        attributes->SecurityQualityOfService)
                                  : nullptr;
        g_lsa->quality_present = quality != nullptr;
        g_lsa->quality = quality != nullptr ? *quality : SECURITY_QUALITY_OF_SERVICE{};
        const bool writing = (access & POLICY_CREATE_SECRET) != 0;
        if ((writing && g_lsa->refuse_read_write) || (!writing && g_lsa->refuse_read_only)) {
            return status_access_denied;
        }
        auto handle = reinterpret_cast<LSA_HANDLE>(static_cast<INT_PTR>(g_lsa->next_handle_++));
        g_lsa->handles_[handle] = access;
        *policy = handle;
        return 0;
    }

    static NTSTATUS NTAPI store(LSA_HANDLE policy, PLSA_UNICODE_STRING name,
                                PLSA_UNICODE_STRING value) {
        ++g_lsa->store_calls;
        g_lsa->stored_name = see(name);
        g_lsa->stored_value = see(value);
        g_lsa->stored_name_text = text_of(name);
        auto handle = g_lsa->handles_.find(policy);
        if (handle == g_lsa->handles_.end()) {
            return status_invalid_handle;
        }
        if ((handle->second & POLICY_CREATE_SECRET) == 0) {
            return status_access_denied;
        }
        const std::wstring key = text_of(name);
        if (value == nullptr) {
            return g_lsa->secrets.erase(key) != 0 ? 0 : status_object_name_not_found;
        }
        g_lsa->secrets[key] =
            std::string(reinterpret_cast<const char*>(value->Buffer), value->Length);
        return 0;
    }

    static NTSTATUS NTAPI retrieve(LSA_HANDLE policy, PLSA_UNICODE_STRING name,
                                   PLSA_UNICODE_STRING* value) {
        ++g_lsa->retrieve_calls;
        g_lsa->retrieved_name = see(name);
        *value = nullptr;
        if (g_lsa->handles_.count(policy) == 0) {
            return status_invalid_handle;
        }
        auto secret = g_lsa->secrets.find(text_of(name));
        if (secret == g_lsa->secrets.end()) {
            return status_object_name_not_found;
        }
        // One block: the record, then exactly the secret's bytes with no terminator.
        const std::size_t bytes = secret->second.size();
        auto* block =
            static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, sizeof(LSA_UNICODE_STRING) + bytes));
        auto* result = reinterpret_cast<LSA_UNICODE_STRING*>(block);
        result->Length = static_cast<USHORT>(bytes);
        result->MaximumLength = static_cast<USHORT>(bytes);
        result->Buffer = reinterpret_cast<PWSTR>(block + sizeof(LSA_UNICODE_STRING));
        std::memcpy(result->Buffer, secret->second.data(), bytes);
        g_lsa->allocations_.insert(block);
        *value = result;
        return 0;
    }

    static NTSTATUS NTAPI free_memory(PVOID memory) {
        if (g_lsa->allocations_.erase(memory) == 0) {
            ++g_lsa->bad_frees;
            return status_invalid_handle;
        }
        ++g_lsa->frees;
        const auto* result = static_cast<const LSA_UNICODE_STRING*>(memory);
        const auto* bytes = reinterpret_cast<const BYTE*>(result->Buffer);
        for (USHORT i = 0; i < result->Length; ++i) {
            if (bytes[i] != 0) {
                ++g_lsa->frees_not_wiped;
                break;
            }
        }
        HeapFree(GetProcessHeap(), 0, memory);
        return 0;
    }

    static NTSTATUS NTAPI close(LSA_HANDLE handle) {
        if (g_lsa->handles_.erase(handle) == 0) {
            ++g_lsa->bad_closes;
            return status_invalid_handle;
        }
        ++g_lsa->closes;
        return 0;
    }

    static ULONG NTAPI status_to_win_error(NTSTATUS status) {
        switch (static_cast<ULONG>(status)) {
        case 0:
            return ERROR_SUCCESS;
        case 0xC0000022:
            return ERROR_ACCESS_DENIED;
        case 0xC0000034:
            return ERROR_FILE_NOT_FOUND;
        case 0xC0000008:
            return ERROR_INVALID_HANDLE;
        default:
            return ERROR_MR_MID_NOT_FOUND;
        }
    }
};

lsa_double::lsa_double() {
    g_lsa = this;
    const struct {
        const char* name;
        const void* replacement;
    } imports[] = {
        {"LsaOpenPolicy", reinterpret_cast<const void*>(&lsa_calls::open_policy)},
        {"LsaStorePrivateData", reinterpret_cast<const void*>(&lsa_calls::store)},
        {"LsaRetrievePrivateData", reinterpret_cast<const void*>(&lsa_calls::retrieve)},
        {"LsaFreeMemory", reinterpret_cast<const void*>(&lsa_calls::free_memory)},
        {"LsaClose", reinterpret_cast<const void*>(&lsa_calls::close)},
        {"LsaNtStatusToWinError", reinterpret_cast<const void*>(&lsa_calls::status_to_win_error)},
    };
    for (const auto& import : imports) {
        patches_.push_back(
            std::make_unique<import_patch>("advapi32.dll", import.name, import.replacement));
    }
}

lsa_double::~lsa_double() {
    patches_.clear();
    for (void* block : allocations_) {
        HeapFree(GetProcessHeap(), 0, block);
    }
    g_lsa = nullptr;
}

bool lsa_double::applied() const {
    for (const auto& patch : patches_) {
        if (!patch->applied()) {
            return false;
        }
    }
    return !patches_.empty();
}

} // namespace test_support
