// The start-type selection mapping and the service type written on apply.
#include "service/startup_settings.h"

#include <gtest/gtest.h>

#include <optional>

using namespace svcsheet;

TEST(StartTypeSelection, RadioButtonsMapToTheirStartTypesBothWays) {
    struct pair {
        int selection;
        std::uint32_t start_type;
    };
    for (const pair& p : {pair{1001, 2}, pair{1002, 3}, pair{1003, 4}}) {
        SCOPED_TRACE(p.selection);
        EXPECT_EQ(p.start_type, start_type_for_selection(p.selection));
        EXPECT_EQ(p.selection, selection_for_start_type(p.start_type));
    }
}

TEST(StartTypeSelection, NoChangeSelectionAndUnknownValuesLeaveTheStartTypeAlone) {
    EXPECT_EQ(0xFFFFFFFFu, start_type_for_selection(1016));
    for (int other : {0, 1000, 1004, 1005, 1017, -1}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(0xFFFFFFFFu, start_type_for_selection(other));
    }
}

TEST(StartTypeSelection, BootSystemAndUnknownStartTypesSelectNothing) {
    for (std::uint32_t start_type : {0u, 1u, 5u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(start_type);
        EXPECT_EQ(0, selection_for_start_type(start_type));
    }
}

TEST(ServiceTypeWritten, WithoutTheInteractionSettingTheTypeIsNeverWritten) {
    for (bool checked : {false, true}) {
        EXPECT_EQ(service_no_change, service_type_to_write(false, checked, 0x10u));
        EXPECT_EQ(service_no_change, service_type_to_write(false, checked, 0x110u));
        EXPECT_EQ(service_no_change, service_type_to_write(false, checked, std::nullopt));
    }
}

TEST(ServiceTypeWritten, OwnProcessServiceGetsExactly0x110Or0x10) {
    EXPECT_EQ(0x110u, service_type_to_write(true, true, 0x10u));
    EXPECT_EQ(0x110u, service_type_to_write(true, true, 0x110u));
    EXPECT_EQ(0x10u, service_type_to_write(true, false, 0x110u));
    EXPECT_EQ(0x10u, service_type_to_write(true, false, 0x10u));
}

TEST(ServiceTypeWritten, SharedProcessServiceStaysShared) {
    EXPECT_EQ(0x120u, service_type_to_write(true, true, 0x20u));
    EXPECT_EQ(0x20u, service_type_to_write(true, false, 0x120u));
    // Bits beyond own/share (a per-user service, 0x50) survive as well.
    EXPECT_EQ(0x150u, service_type_to_write(true, true, 0x50u));
}

TEST(ServiceTypeWritten, DriversAndUnreadableTypesKeepTheirType) {
    for (bool checked : {false, true}) {
        EXPECT_EQ(service_no_change, service_type_to_write(true, checked, 0x1u)); // kernel
        EXPECT_EQ(service_no_change, service_type_to_write(true, checked, 0x2u)); // file system
        EXPECT_EQ(service_no_change, service_type_to_write(true, checked, std::nullopt));
    }
}

TEST(ChangeApplied, NothingIsWrittenUnlessTheUserChangedSomething) {
    config_change change = {1, 1};
    for (int selection : {1001, 1002, 1003}) {
        EXPECT_FALSE(change_to_apply({true, selection, false, false, 0}, true, 0x10u, change));
        EXPECT_EQ(service_no_change, change.start_type);
        EXPECT_EQ(service_no_change, change.service_type);
    }
    // Boot or system start: no radio button stands for it, and the page writes nothing.
    EXPECT_FALSE(change_to_apply({true, 0, true, true, 0}, true, 0x10u, change));
    EXPECT_EQ(service_no_change, change.start_type);
    EXPECT_EQ(service_no_change, change.service_type);
}

TEST(ChangeApplied, StartTypeClickWritesTheStartTypeAlone) {
    config_change change = {};
    ASSERT_TRUE(change_to_apply({true, 1003, true, false, 0}, true, 0x10u, change));
    EXPECT_EQ(4u, change.start_type);
    EXPECT_EQ(service_no_change, change.service_type);
}

TEST(ChangeApplied, CheckBoxClickWritesTheServiceTypeAloneAndOnlyWhereTheBoxIsShown) {
    config_change change = {};
    ASSERT_TRUE(change_to_apply({true, 1002, false, true, 0}, true, 0x10u, change));
    EXPECT_EQ(service_no_change, change.start_type);
    EXPECT_EQ(0x110u, change.service_type);

    ASSERT_TRUE(change_to_apply({true, 1002, true, true, 0}, false, 0x120u, change));
    EXPECT_EQ(3u, change.start_type);
    EXPECT_EQ(0x20u, change.service_type);

    // A box the page does not show was not the user's: a click sent to it writes nothing.
    EXPECT_FALSE(change_to_apply({false, 1002, false, true, 0}, true, 0x10u, change));
    // Nor does a click on a driver's box.
    EXPECT_FALSE(change_to_apply({true, 1002, false, true, 0}, true, 0x1u, change));
}

// BN_CLICKED also comes from Space on the checked button, accessibility tools and hosts.
TEST(StartTypeClick, OnlyACheckedButtonOtherThanTheLoadedOneIsAChoice) {
    startup_edit edit = {true, 1002, false, false, 1002};
    EXPECT_FALSE(take_start_type_click(edit, 1002, true)) << "the loaded button again";
    EXPECT_FALSE(take_start_type_click(edit, 1001, false)) << "a button left unchecked";
    EXPECT_TRUE(take_start_type_click(edit, 1003, true));
    EXPECT_TRUE(take_start_type_click(edit, 1001, false));
    config_change change = {};
    ASSERT_TRUE(change_to_apply(edit, false, 0x10u, change));
    EXPECT_EQ(4u, change.start_type) << "the checked button's start type, not the last sender's";

    // Back on the loaded button the choice is taken back, but not a check-box click.
    EXPECT_FALSE(take_start_type_click(edit, 1002, true));
    edit.interaction_toggled = true;
    EXPECT_TRUE(take_start_type_click(edit, 1002, true));
}
