// Test support: what the process holds (handles, GDI and USER objects, private
// memory, heap blocks), sampled before and after a soak to show that it stays flat.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

struct resource_sample {
    long long handles;       // kernel handles
    long long gdi_objects;   // pens, brushes, fonts, DCs, bitmaps, ...
    long long user_objects;  // windows, menus, ...; windows alone where only those are seen
    long long private_bytes; // committed private memory
    long long heap_bytes;    // bytes in the busy blocks of every heap of the process
    long long heap_blocks;   // busy blocks of every heap of the process
};

// Growth allowed between two samples before a soak counts as leaking.
struct resource_margin {
    long long handles;
    long long gdi_objects;
    long long user_objects;
    long long private_bytes;
    long long heap_bytes;
    long long heap_blocks;
};

// Takes a sample. Allocates nothing from the heaps it measures.
resource_sample sample_resources();

// Where each figure of a sample comes from on this platform, with the stand-ins used
// where the platform's own counter is a stub (as on Wine).
std::string meter_sources();

std::string describe(const resource_sample& sample);

// The figures that grew by more than the margin from before to after, described with
// both values; empty when every figure stayed within its margin.
std::string growth_beyond(const resource_sample& before, const resource_sample& after,
                          const resource_margin& margin);

} // namespace test_support
