// Test support: the resource meter.
#include "resource_meter.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdio>

namespace test_support {
namespace {

constexpr NTSTATUS status_info_length_mismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr ULONG system_handle_information = 16;

bool running_on_wine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Wine's GetProcessHandleCount answers 0; its system handle list is real. The list
// buffer comes from VirtualAlloc so that sampling leaves the heaps alone.
long long count_handles_in_system_list() {
    static SIZE_T capacity = 1 << 20;
    for (int attempt = 0; attempt < 4; ++attempt) {
        void* buffer = VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (buffer == nullptr) {
            return -1;
        }
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(
            static_cast<SYSTEM_INFORMATION_CLASS>(system_handle_information), buffer,
            static_cast<ULONG>(capacity), &needed);
        long long count = -1;
        if (status == 0) {
            const auto* list = static_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer);
            const DWORD self = GetCurrentProcessId();
            count = 0;
            for (ULONG i = 0; i < list->Count; ++i) {
                count += list->Handle[i].OwnerPid == self ? 1 : 0;
            }
        }
        VirtualFree(buffer, 0, MEM_RELEASE);
        if (status != status_info_length_mismatch) {
            return count;
        }
        capacity *= 4;
    }
    return -1;
}

long long count_handles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    return count_handles_in_system_list();
}

// Wine's GetGuiResources is a stub that answers 0. Its GDI handle table, which the
// process environment block points to as on Windows, holds one entry per live object:
// 0x10000 entries of 24 bytes in 32-bit and 64-bit processes alike (Wine keeps the
// fields 64-bit wide), the object's type in byte 14 (0 when the entry is free).
long long count_wine_gdi_objects() {
    constexpr std::size_t table_offset_in_peb = sizeof(void*) == 8 ? 0xF8 : 0x94;
    constexpr std::size_t entry_size = 24;
    constexpr std::size_t type_offset = 14;
    constexpr std::size_t entries = 0x10000;
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                  sizeof basic, nullptr) != 0) {
        return -1;
    }
    const auto* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + table_offset_in_peb);
    if (table == nullptr) {
        return -1;
    }
    long long count = 0;
    for (std::size_t i = 0; i < entries; ++i) {
        count += table[i * entry_size + type_offset] != 0 ? 1 : 0;
    }
    return count;
}

long long count_gdi_objects() {
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0 || !running_on_wine()) {
        return count;
    }
    return count_wine_gdi_objects();
}

BOOL CALLBACK count_window(HWND, LPARAM param) {
    ++*reinterpret_cast<long long*>(param);
    return TRUE;
}

BOOL CALLBACK count_own_window_tree(HWND window, LPARAM param) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == GetCurrentProcessId()) {
        count_window(window, param);
        EnumChildWindows(window, count_window, param);
    }
    return TRUE;
}

// Where GetGuiResources is a stub, the process's windows (every top-level window and
// all its descendants) stand in for its USER objects: the objects a sheet makes.
long long count_user_objects() {
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (count != 0 || !running_on_wine()) {
        return count;
    }
    long long windows = 0;
    EnumWindows(count_own_window_tree, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Wine reports PrivateUsage as 0; its PagefileUsage, the process's anonymous resident
// memory, is the nearest figure. On Windows the two are the same commit charge.
long long private_bytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        return -1;
    }
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

void walk_heaps(long long& bytes, long long& blocks) {
    bytes = 0;
    blocks = 0;
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                bytes += entry.cbData;
                ++blocks;
            }
        }
        HeapUnlock(heaps[i]);
    }
}

std::string kib(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    return text;
}

void compare(std::string& out, const char* what, long long before, long long after,
             long long margin, bool in_bytes) {
    if (after - before <= margin) {
        return;
    }
    if (!out.empty()) {
        out += "; ";
    }
    out += what;
    out += ": ";
    out += in_bytes ? kib(before) : std::to_string(before);
    out += " -> ";
    out += in_bytes ? kib(after) : std::to_string(after);
    out += " (margin ";
    out += in_bytes ? kib(margin) : std::to_string(margin);
    out += ")";
}

} // namespace

resource_sample sample_resources() {
    resource_sample sample = {};
    sample.handles = count_handles();
    sample.gdi_objects = count_gdi_objects();
    sample.user_objects = count_user_objects();
    sample.private_bytes = private_bytes();
    walk_heaps(sample.heap_bytes, sample.heap_blocks);
    return sample;
}

std::string meter_sources() {
    std::string sources;
    DWORD count = 0;
    const bool handle_count_works =
        GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0;
    sources += handle_count_works ? "handles: GetProcessHandleCount"
                                  : "handles: the system handle list (GetProcessHandleCount "
                                    "reports 0 here)";
    const bool gui_works = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0;
    if (gui_works || !running_on_wine()) {
        sources += "; GDI and USER objects: GetGuiResources";
    } else {
        sources += "; GDI objects: Wine's GDI handle table (GetGuiResources is a stub "
                   "answering 0 here); USER objects: the process's windows only";
    }
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    sources += counters.PrivateUsage != 0
                   ? "; private bytes: PrivateUsage"
                   : "; private bytes: PagefileUsage (PrivateUsage reports 0 here)";
    sources += "; heap: HeapWalk over every process heap";
    return sources;
}

std::string describe(const resource_sample& sample) {
    return "handles " + std::to_string(sample.handles) + ", GDI " +
           std::to_string(sample.gdi_objects) + ", USER " + std::to_string(sample.user_objects) +
           ", private " + kib(sample.private_bytes) + ", heap " + kib(sample.heap_bytes) + " in " +
           std::to_string(sample.heap_blocks) + " blocks";
}

std::string growth_beyond(const resource_sample& before, const resource_sample& after,
                          const resource_margin& margin) {
    std::string out;
    compare(out, "handles", before.handles, after.handles, margin.handles, false);
    compare(out, "GDI objects", before.gdi_objects, after.gdi_objects, margin.gdi_objects, false);
    compare(out, "USER objects", before.user_objects, after.user_objects, margin.user_objects,
            false);
    compare(out, "private bytes", before.private_bytes, after.private_bytes, margin.private_bytes,
            true);
    compare(out, "heap bytes", before.heap_bytes, after.heap_bytes, margin.heap_bytes, true);
    compare(out, "heap blocks", before.heap_blocks, after.heap_blocks, margin.heap_blocks, false);
    return out;
}

} // namespace test_support
