// Test support: counting allocators swapped into svcsheet.dll's import table.
#include "allocation_counter.h"

#include <windows.h>

#include <cstdlib>
#include <utility>

namespace test_support {
namespace {

LONG g_allocations;
LONG g_frees;
decltype(&malloc) g_malloc;
decltype(&calloc) g_calloc;
decltype(&realloc) g_realloc;
decltype(&HeapAlloc) g_heap_alloc;
decltype(&LocalAlloc) g_local_alloc;
decltype(&GlobalAlloc) g_global_alloc;
decltype(&free) g_free;
decltype(&HeapFree) g_heap_free;

void* __cdecl counting_malloc(size_t size) {
    InterlockedIncrement(&g_allocations);
    return g_malloc(size);
}
void* __cdecl counting_calloc(size_t count, size_t size) {
    InterlockedIncrement(&g_allocations);
    return g_calloc(count, size);
}
void* __cdecl counting_realloc(void* block, size_t size) {
    InterlockedIncrement(&g_allocations);
    return g_realloc(block, size);
}
LPVOID WINAPI counting_heap_alloc(HANDLE heap, DWORD flags, SIZE_T size) {
    InterlockedIncrement(&g_allocations);
    return g_heap_alloc(heap, flags, size);
}
HLOCAL WINAPI counting_local_alloc(UINT flags, SIZE_T size) {
    InterlockedIncrement(&g_allocations);
    return g_local_alloc(flags, size);
}
HGLOBAL WINAPI counting_global_alloc(UINT flags, SIZE_T size) {
    InterlockedIncrement(&g_allocations);
    return g_global_alloc(flags, size);
}

void __cdecl counting_free(void* block) {
    if (block != nullptr) {
        InterlockedIncrement(&g_frees);
    }
    g_free(block);
}
BOOL WINAPI counting_heap_free(HANDLE heap, DWORD flags, LPVOID block) {
    if (block != nullptr) {
        InterlockedIncrement(&g_frees);
    }
    return g_heap_free(heap, flags, block);
}

template <typename F> const void* as_import(F function) {
    return reinterpret_cast<const void*>(function);
}

} // namespace

allocation_counter::allocation_counter()
    : malloc_("msvcrt.dll", "malloc", as_import(&counting_malloc)),
      calloc_("msvcrt.dll", "calloc", as_import(&counting_calloc)),
      realloc_("msvcrt.dll", "realloc", as_import(&counting_realloc)),
      heap_alloc_("kernel32.dll", "HeapAlloc", as_import(&counting_heap_alloc)),
      local_alloc_("kernel32.dll", "LocalAlloc", as_import(&counting_local_alloc)),
      global_alloc_("kernel32.dll", "GlobalAlloc", as_import(&counting_global_alloc)),
      free_("msvcrt.dll", "free", as_import(&counting_free)),
      heap_free_("kernel32.dll", "HeapFree", as_import(&counting_heap_free)) {
    g_malloc = malloc_.original<decltype(&malloc)>();
    g_calloc = calloc_.original<decltype(&calloc)>();
    g_realloc = realloc_.original<decltype(&realloc)>();
    g_heap_alloc = heap_alloc_.original<decltype(&HeapAlloc)>();
    g_local_alloc = local_alloc_.original<decltype(&LocalAlloc)>();
    g_global_alloc = global_alloc_.original<decltype(&GlobalAlloc)>();
    g_free = free_.original<decltype(&free)>();
    g_heap_free = heap_free_.original<decltype(&HeapFree)>();
    reset();
}

long allocation_counter::count() const {
    return g_allocations;
}

long allocation_counter::frees() const {
    return g_frees;
}

void allocation_counter::reset() {
    g_allocations = 0;
    g_frees = 0;
}

std::string allocation_counter::names(bool applied) const {
    const std::pair<const import_patch*, const char*> patches[] = {
        {&malloc_, "malloc"},          {&calloc_, "calloc"},
        {&realloc_, "realloc"},        {&heap_alloc_, "HeapAlloc"},
        {&local_alloc_, "LocalAlloc"}, {&global_alloc_, "GlobalAlloc"}};
    std::string list;
    for (const auto& patch : patches) {
        if (patch.first->applied() == applied) {
            list += (list.empty() ? "" : ", ") + std::string(patch.second);
        }
    }
    return list;
}

} // namespace test_support
