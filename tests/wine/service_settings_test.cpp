// The Service page's start-up settings against Wine's real service manager: what Apply writes,
// what Cancel reloads, and what is read back from the service manager and the registry.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "service_fixture.h"
#include "service_page_ids.h"
#include "sheet_driver.h"
#include "svcsheet.h"

#include <gtest/gtest.h>

#include <string>

using namespace test_support;

namespace {

constexpr int apply_button_id = 0x3021;

bool apply_enabled(HWND sheet) {
    return IsWindowEnabled(GetDlgItem(sheet, apply_button_id)) != FALSE;
}

// Presses Apply and waits until the sheet has applied: Wine presses buttons through a posted
// message, and greys Apply out again once the pages have applied.
void apply(HWND sheet) {
    PropSheet_PressButton(sheet, PSBTN_APPLYNOW);
    EXPECT_TRUE(pump_until([&] { return !apply_enabled(sheet); }, 2000)) << "Apply never ran";
}

// The sheet's OK button: after an apply it reads "Close" and ends the sheet.
void press_ok(HWND sheet) {
    PropSheet_PressButton(sheet, PSBTN_OK);
}

} // namespace

TEST(StartupSettings, ManualAndApplyWritesDemandStartReloadsAndCancelBecomesClose) {
    test_service service(service_options().start(SERVICE_AUTO_START));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Automatic", checked_start_types(page));
        EXPECT_FALSE(apply_enabled(sheet));
        click(page, IDC_START_MANUAL);
        EXPECT_TRUE(apply_enabled(sheet));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), service.config().start_type)
            << "nothing is written before Apply";

        apply(sheet);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service.config().start_type);
        EXPECT_EQ("Manual", checked_start_types(page));
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        pump_messages(100); // Cancel turns into Close through a posted message
        EXPECT_EQ("Close", window_text(GetDlgItem(sheet, IDOK)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, IDCANCEL)));
        press_ok(sheet);
    });
    const service_config_values config = service.config();
    ASSERT_TRUE(config.read);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.service_type);
    // Wine's own tool reads the same start type from the service's registry key.
    const std::string reg = reg_query_start(service.name());
    EXPECT_NE(std::string::npos, reg.find("REG_DWORD")) << reg;
    EXPECT_NE(std::string::npos, reg.find("0x3")) << reg;
}

TEST(StartupSettings, CancelAfterChoosingAutomaticWritesNothingAndReloadsTheRealType) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    std::string checked_after_click, checked_after_cancel;
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_START_AUTOMATIC);
        checked_after_click = checked_start_types(page);
        close_sheet(sheet);
        pump_messages(100); // the press arrives through a posted message
        checked_after_cancel = checked_start_types(page);
    });
    EXPECT_EQ("Automatic", checked_after_click);
    EXPECT_EQ("Manual", checked_after_cancel);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service.config().start_type);
}

TEST(StartupSettings, CheckBoxAndApplyWriteTheInteractiveBitOnlyWithTheInteractionFlag) {
    test_service plain;
    ASSERT_TRUE(plain.created()) << plain.create_error();
    ASSERT_EQ(1, InitServiceControl(plain.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_TRUE(item_visible(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_TRUE(item_enabled(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));

        click(page, IDC_INTERACT_WITH_DESKTOP);
        EXPECT_TRUE(apply_enabled(sheet));
        apply(sheet);
        service_config_values config = plain.config();
        EXPECT_EQ(0x110u, config.service_type);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), config.start_type)
            << "the current start type is written with it";
        EXPECT_TRUE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));

        click(page, IDC_INTERACT_WITH_DESKTOP);
        apply(sheet);
        EXPECT_EQ(0x10u, plain.config().service_type);
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));
        press_ok(sheet);
    });

    // Without the flag the box is hidden and the service type is never written, so an
    // interactive service stays interactive.
    test_service interactive(
        service_options().type(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    ASSERT_TRUE(interactive.created()) << interactive.create_error();
    ASSERT_EQ(1, InitServiceControl(interactive.name().c_str()));
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_FALSE(item_visible(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_FALSE(item_enabled(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP)) << "the box is not loaded";
        click(page, IDC_START_DISABLED);
        apply(sheet);
        press_ok(sheet);
    });
    const service_config_values config = interactive.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);
    EXPECT_EQ(0x110u, config.service_type);
}

TEST(StartupSettings, ApplyingTheCheckBoxKeepsASharedProcessServiceShared) {
    test_service shared(service_options().type(SERVICE_WIN32_SHARE_PROCESS));
    ASSERT_TRUE(shared.created()) << shared.create_error();
    ASSERT_EQ(1, InitServiceControl(shared.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_INTERACT_WITH_DESKTOP);
        apply(sheet);
        EXPECT_EQ(0x120u, shared.config().service_type);
        click(page, IDC_INTERACT_WITH_DESKTOP);
        apply(sheet);
        EXPECT_EQ(0x20u, shared.config().service_type);
        press_ok(sheet);
    });
}

TEST(StartupSettings, DriverKeepsItsTypeAndBootOrSystemStartIsNeverRewritten) {
    test_service driver(service_options().type(SERVICE_KERNEL_DRIVER).start(SERVICE_SYSTEM_START));
    ASSERT_TRUE(driver.created()) << driver.create_error();
    ASSERT_EQ(1, InitServiceControl(driver.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("", checked_start_types(page));
        click(page, IDC_INTERACT_WITH_DESKTOP);
        apply(sheet);
        EXPECT_EQ("", checked_start_types(page));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP)) << "reloaded from the driver";
        press_ok(sheet);
    });
    service_config_values config = driver.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_SYSTEM_START), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), config.service_type);

    ASSERT_TRUE(ChangeServiceConfigA(driver.handle(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr))
        << GetLastError();
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Manual", checked_start_types(page));
        click(page, IDC_START_DISABLED);
        apply(sheet);
        press_ok(sheet);
    });
    config = driver.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), config.service_type)
        << "a driver must not become a Win32 service";
}

TEST(StartupSettings, ApplyWritesBackTheDisplayNameReadAtConnection) {
    test_service service(service_options().display("Original name"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    ASSERT_TRUE(ChangeServiceConfigA(service.handle(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, "Changed elsewhere"))
        << GetLastError();
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_START_DISABLED);
        apply(sheet);
        press_ok(sheet);
    });
    service_config_values config = service.config();
    EXPECT_EQ("Original name", config.display_name);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);

    // A name longer than the 255 characters kept is left whole rather than cut short.
    const std::string long_name = std::string(250, 'n') + "-tail";
    ASSERT_EQ(255u, long_name.size());
    const std::string longer_name = long_name + "!";
    test_service long_named(service_options().display(longer_name));
    ASSERT_TRUE(long_named.created()) << long_named.create_error();
    ASSERT_EQ(1, InitServiceControl(long_named.name().c_str()));
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_START_DISABLED);
        apply(sheet);
        press_ok(sheet);
    });
    config = long_named.config();
    EXPECT_EQ(longer_name, config.display_name);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);
}

TEST(StartupSettings, RefusedChangeLeavesOnlyTheRealStartTypeChecked) {
    // The service manager refuses an interactive service that runs under an account other
    // than LocalSystem.
    test_service service(
        service_options().start(SERVICE_AUTO_START).run_as(".\\svcsheet_nobody", "not-a-password"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_INTERACT_WITH_DESKTOP);
        click(page, IDC_START_MANUAL);
        EXPECT_EQ("Manual", checked_start_types(page));
        apply(sheet);
        EXPECT_EQ("Automatic", checked_start_types(page));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));
        // OK applies what the page shows now, not the refused choice without its check box.
        press_ok(sheet);
    });
    const service_config_values config = service.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.service_type);
}
