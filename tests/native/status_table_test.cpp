// The Service page's state table: every state, every accepted-control mix, start allowed or not.
#include "service/status_table.h"
#include "service_page_ids.h"

#include <gtest/gtest.h>

#include <string>

using svcsheet::look_up_status;
using svcsheet::status_picture;

namespace {

// What each button follows in a state, transcribed independently of the table under test.
enum class follows { off, start_allowed, stop, pause };

struct expected_state {
    std::uint32_t state;
    int text_id;
    follows start, cont, pause, stop;
};

constexpr expected_state expected_states[] = {
    {1, IDS_STATUS_STOPPED, follows::start_allowed, follows::off, follows::off, follows::off},
    {2, IDS_STATUS_START_PENDING, follows::off, follows::off, follows::off, follows::stop},
    {3, IDS_STATUS_STOP_PENDING, follows::off, follows::off, follows::off, follows::off},
    {4, IDS_STATUS_RUNNING, follows::off, follows::off, follows::pause, follows::stop},
    {5, IDS_STATUS_CONTINUE_PENDING, follows::off, follows::off, follows::pause, follows::stop},
    {6, IDS_STATUS_PAUSE_PENDING, follows::off, follows::pause, follows::off, follows::stop},
    {7, IDS_STATUS_PAUSED, follows::off, follows::pause, follows::off, follows::stop},
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
                status_picture picture = {0, {true, true, true, true}};
                ASSERT_TRUE(look_up_status(row.state, accepted, start_allowed, picture));
                EXPECT_EQ(row.text_id, picture.text_id);
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
        status_picture picture = {IDS_STATUS_RUNNING, {true, false, true, false}};
        EXPECT_FALSE(look_up_status(state, 0x3, true, picture));
        EXPECT_EQ(IDS_STATUS_RUNNING, picture.text_id);
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
            status_picture allowed = {0, {}}, forbidden = {0, {}};
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
