// Start-type selection <-> start type, and the service type written on apply.
#include "service/startup_settings.h"

namespace svcsheet {
namespace {

struct start_type_choice {
    int selection;
    std::uint32_t start_type;
};

constexpr start_type_choice start_type_choices[] = {
    {IDC_START_AUTOMATIC, service_auto_start},
    {IDC_START_MANUAL, service_demand_start},
    {IDC_START_DISABLED, service_disabled},
};

} // namespace

std::uint32_t start_type_for_selection(int selection) noexcept {
    for (const start_type_choice& choice : start_type_choices) {
        if (choice.selection == selection) {
            return choice.start_type;
        }
    }
    return service_no_change;
}

int selection_for_start_type(std::uint32_t start_type) noexcept {
    for (const start_type_choice& choice : start_type_choices) {
        if (choice.start_type == start_type) {
            return choice.selection;
        }
    }
    return selection_load_only;
}

std::uint32_t service_type_to_write(bool show_interaction, bool interact_checked,
                                    std::optional<std::uint32_t> current_type) noexcept {
    constexpr std::uint32_t win32_service = service_win32_own_process | service_win32_share_process;
    if (!show_interaction || !current_type || (*current_type & win32_service) == 0) {
        return service_no_change;
    }
    const std::uint32_t without_interaction = *current_type & ~service_interactive_process;
    return interact_checked ? without_interaction | service_interactive_process
                            : without_interaction;
}

bool edit_pending(const startup_edit& edit) noexcept {
    return edit.start_type_clicked || edit.interaction_toggled;
}

bool take_start_type_click(startup_edit& edit, int button, bool checked) noexcept {
    if (checked && start_type_for_selection(button) != service_no_change) {
        edit.selection = button;
        edit.start_type_clicked = button != edit.loaded;
    }
    return edit_pending(edit);
}

bool change_to_apply(const startup_edit& edit, bool interact_checked,
                     std::optional<std::uint32_t> current_type, config_change& change) noexcept {
    change = {service_no_change, service_no_change};
    // A boot or system start type has no radio button: such a page writes nothing at all.
    if (edit.selection == selection_load_only) {
        return false;
    }
    if (edit.start_type_clicked) {
        change.start_type = start_type_for_selection(edit.selection);
    }
    if (edit.interaction_toggled) {
        change.service_type =
            service_type_to_write(edit.interaction_shown, interact_checked, current_type);
    }
    return change.start_type != service_no_change || change.service_type != service_no_change;
}

} // namespace svcsheet
