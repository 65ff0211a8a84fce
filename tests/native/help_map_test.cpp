// Help-map lookup: the terminator rules and first-match order.
#include "sheet/help_map.h"

#include <gtest/gtest.h>

using svcsheet::help_map_entry;
using svcsheet::lookup_help_map;

TEST(HelpMapLookup, FindsContextIdsAndZeroForAbsentIds) {
    const help_map_entry map[] = {{1017, 0x21001}, {1000, 0x21001}, {1008, 0x2100A}, {0, 0}};
    EXPECT_EQ(0x21001u, lookup_help_map(map, 1017));
    EXPECT_EQ(0x21001u, lookup_help_map(map, 1000));
    EXPECT_EQ(0x2100Au, lookup_help_map(map, 1008));
    EXPECT_EQ(0u, lookup_help_map(map, 1004));
    EXPECT_EQ(0u, lookup_help_map(map, 0xFFFFFFFFu));
}

TEST(HelpMapLookup, TerminatorOnlyMapAndNullMapYieldZero) {
    const help_map_entry empty[] = {{0, 0}};
    for (std::uint32_t id : {0u, 1u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(0u, lookup_help_map(empty, id)) << id;
        EXPECT_EQ(0u, lookup_help_map(nullptr, id)) << id;
    }
}

TEST(HelpMapLookup, ControlIdZeroStopsAtTheTerminator) {
    // A terminator that carries a context id must still not answer for id 0.
    const help_map_entry map[] = {{5, 50}, {0, 77}, {0, 88}};
    EXPECT_EQ(0u, lookup_help_map(map, 0));
}

TEST(HelpMapLookup, FirstEntryWinsAndEntriesAfterTheTerminatorAreIgnored) {
    const help_map_entry map[] = {{7, 70}, {7, 71}, {0, 0}, {9, 90}};
    EXPECT_EQ(70u, lookup_help_map(map, 7));
    EXPECT_EQ(0u, lookup_help_map(map, 9));
}

TEST(HelpMapLookup, EntryWithZeroContextReadsAsNoHelp) {
    const help_map_entry map[] = {{3, 0}, {3, 30}, {0, 0}};
    EXPECT_EQ(0u, lookup_help_map(map, 3));
}
