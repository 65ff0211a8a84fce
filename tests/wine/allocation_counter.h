// Test support: counts the heap allocations svcsheet.dll makes through its own imports.
#pragma once

#include "import_patch.h"

#include <string>

namespace test_support {

// While it lives, every allocator the DLL imports (msvcrt malloc, calloc, realloc;
// kernel32 HeapAlloc, LocalAlloc, GlobalAlloc) counts its calls. An allocator the DLL
// does not import is one it cannot call; so does its free and HeapFree. One counter at a
// time.
class allocation_counter {
public:
    allocation_counter();
    allocation_counter(const allocation_counter&) = delete;
    allocation_counter& operator=(const allocation_counter&) = delete;

    long count() const;
    // Blocks freed while counting: when counting began before the library held any, count()
    // minus this is what it still holds.
    long frees() const;
    void reset();
    // The allocators found among the DLL's imports, and those not found, comma-separated.
    std::string counted() const { return names(true); }
    std::string absent() const { return names(false); }

private:
    std::string names(bool applied) const;

    import_patch malloc_, calloc_, realloc_, heap_alloc_, local_alloc_, global_alloc_;
    import_patch free_, heap_free_;
};

} // namespace test_support
