// Test support: swapping svcsheet.dll's imports.
#include "import_patch.h"

#include <cstring>

namespace test_support {

import_patch::import_patch(const char* dll, const char* function, const void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA("svcsheet.dll"));
    if (base == nullptr) {
        return;
    }
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) != 0) {
                continue;
            }
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            DWORD old_protect = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protect);
            original_ = *slot;
            *slot = const_cast<void*>(replacement);
            VirtualProtect(slot, sizeof *slot, old_protect, &old_protect);
            slot_ = slot;
            return;
        }
    }
}

import_patch::~import_patch() {
    if (slot_ == nullptr) {
        return;
    }
    DWORD old_protect = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old_protect);
    *slot_ = original_;
    VirtualProtect(slot_, sizeof *slot_, old_protect, &old_protect);
}

} // namespace test_support
