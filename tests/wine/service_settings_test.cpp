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

// Counts the library's ChangeServiceConfigA calls and passes them on, or refuses them.
int g_changes;
bool g_refuse_changes;
decltype(&ChangeServiceConfigA) g_change_config;
BOOL WINAPI counting_change_config(SC_HANDLE service, DWORD type, DWORD start, DWORD error,
                                   LPCSTR path, LPCSTR group, LPDWORD tag, LPCSTR dependencies,
                                   LPCSTR account, LPCSTR password, LPCSTR display) {
    ++g_changes;
    if (g_refuse_changes) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_change_config(service, type, start, error, path, group, tag, dependencies, account,
                           password, display);
}

struct change_counter {
    change_counter()
        : patch("advapi32.dll", "ChangeServiceConfigA",
                reinterpret_cast<const void*>(&counting_change_config)) {
        g_changes = 0;
        g_refuse_changes = false;
        g_change_config = patch.original<decltype(&ChangeServiceConfigA)>();
    }
    import_patch patch;
};

// Changes the service behind the page's back, as another tool would.
void change_elsewhere(const test_service& service, DWORD type, DWORD start) {
    EXPECT_TRUE(ChangeServiceConfigA(service.handle(), type, start, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        << GetLastError();
}

std::wstring display_name_w(const test_service& service) {
    alignas(QUERY_SERVICE_CONFIGW) BYTE buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    DWORD needed = 0;
    if (!QueryServiceConfigW(service.handle(), config, sizeof buffer, &needed)) {
        return L"<unreadable>";
    }
    return config->lpDisplayName != nullptr ? config->lpDisplayName : L"";
}

} // namespace

TEST(StartupSettings, ManualAndApplyWritesDemandStartReloadsAndCancelBecomesClose) {
    test_service service(service_options().start(SERVICE_AUTO_START));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Automatic", checked_start_types(page));
        click(page, IDC_START_AUTOMATIC); // as Space on the checked button does
        EXPECT_FALSE(apply_enabled(sheet)) << "the loaded start type is no choice";
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
        EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), config.start_type);
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

// A boot or system start type has no radio button: the page checks none. The check box applied
// with a start type leaves a driver a driver.
TEST(StartupSettings, DriverKeepsItsTypeAndSystemStartChecksNoStartType) {
    test_service driver(service_options().type(SERVICE_KERNEL_DRIVER).start(SERVICE_SYSTEM_START));
    ASSERT_TRUE(driver.created()) << driver.create_error();
    ASSERT_EQ(1, InitServiceControl(driver.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("", checked_start_types(page));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP)) << "loaded from the driver";
        {
            // Refused: the user's click does not stay checked beside a start type no button
            // stands for.
            change_counter refusing;
            ASSERT_TRUE(refusing.patch.applied());
            g_refuse_changes = true;
            click(page, IDC_START_DISABLED);
            PropSheet_Apply(sheet);
            EXPECT_EQ(1, g_changes);
            EXPECT_EQ("", checked_start_types(page));
        }
        click(page, IDC_INTERACT_WITH_DESKTOP);
        click(page, IDC_START_DISABLED);
        apply(sheet);
        EXPECT_EQ("Disabled", checked_start_types(page));
        press_ok(sheet);
    });
    const service_config_values config = driver.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), config.service_type)
        << "a driver must not become a Win32 service";
}

// OK sends PSN_APPLY to every page that was opened: a page the user left alone must not
// write back what it read when it opened. Here the service changes behind the page's back.
TEST(StartupSettings, OkWithoutChangesWritesNothingAndKeepsWhatChangedElsewhere) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    // Outside the ANSI code page: the A call would write it back as "Dienst ?? x".
    const std::wstring unicode_name = L"Dienst \x0416\x2603 x";
    ASSERT_TRUE(ChangeServiceConfigW(service.handle(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, unicode_name.c_str()))
        << GetLastError();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    change_counter changes;
    ASSERT_TRUE(changes.patch.applied());
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_EQ("Manual", checked_start_types(page));
        change_elsewhere(service, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                         SERVICE_AUTO_START);
        press_ok(sheet);
    });
    EXPECT_EQ(0, g_changes);
    const service_config_values config = service.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.start_type);
    EXPECT_EQ(0x110u, config.service_type);
    EXPECT_EQ(unicode_name, display_name_w(service));
}

TEST(StartupSettings, ApplyWritesTheStartTypeOrTheCheckBoxOnlyWhenTheUserChangedIt) {
    test_service service(service_options().display("Original name"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        // A start type alone leaves the service type and the display name as they are now.
        EXPECT_TRUE(ChangeServiceConfigA(service.handle(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, "Changed elsewhere"))
            << GetLastError();
        change_elsewhere(service, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                         SERVICE_NO_CHANGE);
        click(page, IDC_START_DISABLED);
        apply(sheet);
        service_config_values config = service.config();
        EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.start_type);
        EXPECT_EQ(0x110u, config.service_type);
        EXPECT_EQ("Changed elsewhere", config.display_name);
        EXPECT_TRUE(item_checked(page, IDC_INTERACT_WITH_DESKTOP)) << "reloaded after Apply";

        // The check box alone leaves the start type as it is now.
        change_elsewhere(service, SERVICE_NO_CHANGE, SERVICE_AUTO_START);
        click(page, IDC_INTERACT_WITH_DESKTOP);
        apply(sheet);
        config = service.config();
        EXPECT_EQ(0x10u, config.service_type);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.start_type);
        EXPECT_EQ("Automatic", checked_start_types(page));
        press_ok(sheet);
    });
}

// The page acts on the show flag it opened with: an AddServiceControlPage with another flag
// while it shows is for a later page.
TEST(StartupSettings, APageKeepsTheInteractionFlagItOpenedWith) {
    test_service service(
        service_options().type(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    int added = -2;
    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        added = AddServiceControlPage(TRUE, nullptr);
        click(page, IDC_START_MANUAL);
        press_ok(sheet);
    });
    EXPECT_EQ(0, added);
    EXPECT_EQ(0x110u, service.config().service_type) << "the hidden box was read and written";

    bool box_shown = false, box_checked = false;
    run_sheet("Later page", 0, [&](HWND sheet) {
        HWND page = service_page(sheet);
        box_shown = item_visible(page, IDC_INTERACT_WITH_DESKTOP);
        box_checked = item_checked(page, IDC_INTERACT_WITH_DESKTOP);
        close_sheet(sheet);
    });
    EXPECT_TRUE(box_shown);
    EXPECT_TRUE(box_checked);
}

// One sheet with the page twice: opening the second must not overwrite the first's choice.
TEST(StartupSettings, TwoServicePagesKeepTheirOwnPendingChoices) {
    test_service service;
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    ASSERT_EQ(0, AddServiceControlPage(FALSE, nullptr));
    ASSERT_EQ(1, AddServiceControlPage(FALSE, nullptr));
    std::string second_checked;
    run_sheet("Two pages", 0, [&](HWND sheet) {
        click(service_page(sheet), IDC_START_DISABLED);
        PropSheet_SetCurSel(sheet, nullptr, 1); // opens the second page
        second_checked = checked_start_types(PropSheet_IndexToHwnd(sheet, 1));
        press_ok(sheet);
    });
    EXPECT_FALSE(sheet_left_open());
    EXPECT_EQ("Manual", second_checked);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), service.config().start_type);
}

// The service manager refuses an interactive service that runs under an account other than
// LocalSystem. The start type goes in a call of its own and takes; the sheet stays open on the
// page, which shows what took, and Cancel, which could no longer undo it, becomes Close.
TEST(StartupSettings, RefusedCheckBoxKeepsTheSheetOpenWithTheStartTypeThatTook) {
    test_service service(service_options().run_as(".\\svcsheet_nobody", "not-a-password"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    LRESULT result_after_refusal = -1, result_after_second_ok = 0;
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        click(page, IDC_START_AUTOMATIC);
        click(page, IDC_INTERACT_WITH_DESKTOP);
        press_ok(sheet);
        pump_messages(200);
        // 0 while the sheet is open; the sheet's result once OK has ended it.
        result_after_refusal = PropSheet_GetResult(sheet);
        EXPECT_EQ("Automatic", checked_start_types(page));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, IDCANCEL)))
            << "Cancel offered to undo a stored start type";
        EXPECT_EQ("Close", window_text(GetDlgItem(sheet, IDOK)));
        const service_config_values config = service.config();
        EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.start_type);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.service_type);

        press_ok(sheet); // nothing left to write: the sheet closes
        pump_messages(100);
        result_after_second_ok = PropSheet_GetResult(sheet);
    });
    EXPECT_EQ(0, result_after_refusal) << "the sheet closed on a refused change";
    EXPECT_NE(0, result_after_second_ok);
}
