// The Service page's state table: every state, every accepted-control mix, start allowed or not.
#include "service/status_table.h"

#include <gtest/gtest.h>

#include <string>

using svcsheet::look_up_status;
using svcsheet::status_picture;

namespace {

// What each button follows in a state, transcribed independently of the table under test.
enum class follows { off, start_allowed, stop, pause };

struct expected_state {
    std::uint32_t state;
    const char* text;
    follows start, cont, pause, stop;
};

constexpr expected_state expected_states[] = {
    {1, "Stopped", follows::start_allowed, follows::off, follows::off, follows::off},
    {2, "Start Pending", follows::off, follows::off, follows::off, follows::stop},
    {3, "Stop Pending", follows::off, follows::off, follows::off, follows::off},
    {4, "Running", follows::off, follows::off, follows::pause, follows::stop},
    {5, "Continue Pending", follows::off, follows::off, follows::pause, follows::stop},
    {6, "Pause Pending", follows::off, follows::pause, follows::off, follows::stop},
    {7, "Paused", follows::off, follows::pause, follows::off, follows::stop},
};

bool expect_on(follows rule, std::uint32_t accepted, bool start_allowed) {
    switch (rule) {
    case follows::start_allowed:
        return start_allowed;
    case follows::stop:
        return (accepted & 0x1) != 0;
    case follows::pause:
        return (accepted & 0x2) != 0;
    case follows::off:
        break;
    }
    return false;
}

// Stop and pause/continue in every combination, alone and among other accepted controls
// (shutdown 0x4, param change 0x8, power events 0x40) that must not matter.
constexpr std::uint32_t accepted_mixes[] = {0x0, 0x1, 0x2, 0x3, 0x4, 0x4C, 0x4D, 0x4E, 0x4F};

} // namespace

TEST(StatusTable, EachStateShowsItsTextAndEnablesOnlyTheButtonsItAllows) {
    for (const expected_state& row : expected_states) {
        for (std::uint32_t accepted : accepted_mixes) {
            for (bool start_allowed : {false, true}) {
                SCOPED_TRACE("state " + std::to_string(row.state) + ", accepted " +
                             std::to_string(accepted) + ", start allowed " +
                             std::to_string(start_allowed));
                status_picture picture = {nullptr, {true, true, true, true}};
                ASSERT_TRUE(look_up_status(row.state, accepted, start_allowed, picture));
                ASSERT_NE(nullptr, picture.text);
                EXPECT_EQ(std::string(row.text), picture.text);
                EXPECT_EQ(expect_on(row.start, accepted, start_allowed),
                          picture.enabled[svcsheet::button_start]);
                EXPECT_EQ(expect_on(row.cont, accepted, start_allowed),
                          picture.enabled[svcsheet::button_continue]);
                EXPECT_EQ(expect_on(row.pause, accepted, start_allowed),
                          picture.enabled[svcsheet::button_pause]);
                EXPECT_EQ(expect_on(row.stop, accepted, start_allowed),
                          picture.enabled[svcsheet::button_stop]);
            }
        }
    }
}

TEST(StatusTable, UnknownStatesLeaveThePictureUnchanged) {
    for (std::uint32_t state : {0u, 8u, 9u, 0x40u, 0xFFFFFFFFu}) {
        SCOPED_TRACE("state " + std::to_string(state));
        const char* before = "Running";
        status_picture picture = {before, {true, false, true, false}};
        EXPECT_FALSE(look_up_status(state, 0x3, true, picture));
        EXPECT_EQ(before, picture.text);
        EXPECT_TRUE(picture.enabled[0]);
        EXPECT_FALSE(picture.enabled[1]);
        EXPECT_TRUE(picture.enabled[2]);
        EXPECT_FALSE(picture.enabled[3]);
    }
}

// The refresh reads the start type only for the states that say they need it.
TEST(StatusTable, OnlyStatesThatDependOnTheStartTypeSayTheyNeedIt) {
    for (std::uint32_t state = 0; state <= 9; ++state) {
        SCOPED_TRACE("state " + std::to_string(state));
        bool differs = false;
        for (std::uint32_t accepted : accepted_mixes) {
            status_picture allowed = {nullptr, {}}, forbidden = {nullptr, {}};
            const bool known = look_up_status(state, accepted, true, allowed);
            EXPECT_EQ(known, look_up_status(state, accepted, false, forbidden));
            for (int i = 0; i < svcsheet::control_button_count; ++i) {
                differs = differs || allowed.enabled[i] != forbidden.enabled[i];
            }
        }
        EXPECT_EQ(differs, svcsheet::status_depends_on_start_type(state));
    }
    EXPECT_TRUE(svcsheet::status_depends_on_start_type(1)); // Stopped: Start follows it
}
