// Test support: an in-process local security authority that stands in for the LSA
// imports of svcsheet.dll and records what the library handed over.
#pragma once

#include <windows.h>
#include <ntsecapi.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace test_support {

class import_patch;

constexpr NTSTATUS status_access_denied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS status_object_name_not_found = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS status_invalid_handle = static_cast<NTSTATUS>(0xC0000008);

// A counted string as the library passed it, with the text it pointed to.
struct counted_seen {
    bool present = false; // false: a null pointer was passed instead of a string
    USHORT length = 0;
    USHORT maximum_length = 0;
    const wchar_t* buffer = nullptr;
};

// Patches svcsheet.dll's LsaOpenPolicy, LsaStorePrivateData, LsaRetrievePrivateData,
// LsaFreeMemory, LsaClose and LsaNtStatusToWinError for the object's life. One at a time.
class lsa_double {
public:
    lsa_double();
    ~lsa_double();
    lsa_double(const lsa_double&) = delete;
    lsa_double& operator=(const lsa_double&) = delete;

    // Whether every import was found and replaced.
    bool applied() const;

    // Refusals of LsaOpenPolicy: with write rights, and with read rights alone.
    bool refuse_read_write = false;
    bool refuse_read_only = false;

    // Secrets held, by name: exactly the bytes stored.
    std::map<std::wstring, std::string> secrets;

    std::vector<ACCESS_MASK> opens; // the rights each LsaOpenPolicy asked for
    // The records the last LsaOpenPolicy was given, copied while they lived.
    bool opened_remote = false; // a system name was passed
    bool attributes_present = false;
    LSA_OBJECT_ATTRIBUTES attributes = {};
    bool quality_present = false;
    SECURITY_QUALITY_OF_SERVICE quality = {};
    int open_handles() const { return static_cast<int>(handles_.size()); }
    int closes = 0;
    int bad_closes = 0; // closes of handles that were not open

    int store_calls = 0;
    counted_seen stored_name;
    counted_seen stored_value;
    std::wstring stored_name_text;
    int retrieve_calls = 0;
    counted_seen retrieved_name;

    int frees = 0;
    int frees_not_wiped = 0; // secrets handed back with their bytes still in them
    int bad_frees = 0;       // memory the double never handed out
    int outstanding() const { return static_cast<int>(allocations_.size()); }

private:
    friend struct lsa_calls;
    std::map<LSA_HANDLE, ACCESS_MASK> handles_;
    std::set<void*> allocations_;
    int next_handle_ = 0x100;
    std::vector<std::unique_ptr<import_patch>> patches_;
};

} // namespace test_support
