// Context help of the Service page: its help map and the page-level help context id.
#pragma once

#include "service_page_ids.h"
#include "sheet/help_map.h"

namespace svcsheet {

// The group boxes carry help too; the status group and its text share one topic.
inline constexpr help_map_entry service_page_help_map[] = {
    {IDC_STATUS_GROUP, 0x21001},
    {IDC_STATUS_TEXT, 0x21001},
    {IDC_STARTUP_GROUP, 0x23005},
    {IDC_START_AUTOMATIC, 0x21003},
    {IDC_START_MANUAL, 0x21004},
    {IDC_START_DISABLED, 0x21005},
    {IDC_CONTROL_GROUP, 0x23006},
    {IDC_START_SERVICE, 0x21007},
    {IDC_PAUSE_SERVICE, 0x21008},
    {IDC_CONTINUE_SERVICE, 0x21009},
    {IDC_STOP_SERVICE, 0x2100A},
    {IDC_INTERACT_WITH_DESKTOP, 0x2100B},
    {0, 0},
};

// What the sheet's Help button shows for the page as a whole.
constexpr std::uint32_t service_page_help_context = 0x23000;

} // namespace svcsheet
