// Faults under an open Service page: the service's process dies, the service is deleted, the
// service manager refuses. The page keeps its last good picture and keeps working.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "service_fixture.h"
#include "service_page_ids.h"
#include "sheet_driver.h"
#include "svcsheet.h"
#include "test_pages.h"
#include "test_service.h"

#include <gtest/gtest.h>

#include <string>

using namespace test_support;

namespace {

constexpr int apply_button_id = 0x3021;

DWORD service_process_id(const test_service& service) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.handle(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
        return 0;
    }
    return status.dwProcessId;
}

INT_PTR CALLBACK host_page_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

void apply(HWND sheet) {
    PropSheet_Apply(sheet);
    pump_messages(50);
}

// Which service-manager calls are refused right now, and how often each was tried.
struct refusals {
    bool status = false;
    bool control = false;
    bool change = false;
    int status_calls = 0;
    int control_calls = 0;
    int change_calls = 0;
};
refusals g_refuse;
decltype(&QueryServiceStatus) g_query_status;
decltype(&ControlService) g_control_service;
decltype(&StartServiceA) g_start_service;

BOOL WINAPI refusing_query_status(SC_HANDLE service, LPSERVICE_STATUS status) {
    ++g_refuse.status_calls;
    if (g_refuse.status) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_query_status(service, status);
}

BOOL WINAPI refusing_control_service(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    ++g_refuse.control_calls;
    if (g_refuse.control) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_control_service(service, control, status);
}

BOOL WINAPI refusing_start_service(SC_HANDLE service, DWORD count, LPCSTR* arguments) {
    ++g_refuse.control_calls;
    if (g_refuse.control) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_start_service(service, count, arguments);
}

BOOL WINAPI refusing_change_config(SC_HANDLE, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD, LPCSTR,
                                   LPCSTR, LPCSTR, LPCSTR) {
    ++g_refuse.change_calls;
    SetLastError(ERROR_SERVICE_DATABASE_LOCKED);
    return FALSE;
}

// What Windows grants an interactive user who is no administrator, by default.
constexpr DWORD user_manager_access = STANDARD_RIGHTS_READ | SC_MANAGER_CONNECT |
                                      SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
constexpr DWORD user_service_access = READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                      SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                      SERVICE_USER_DEFINED_CONTROL;
constexpr DWORD page_access = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START |
                              SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_CHANGE_CONFIG;

DWORD g_service_allowed;
decltype(&OpenSCManagerA) g_open_manager;
decltype(&OpenServiceA) g_open_service;
decltype(&QueryServiceConfigA) g_query_config;

// Wine grants every right on open: these refuse, as Windows does, what the user lacks. A call
// that succeeds may leave any last error: these leave another one than a refusal's, so the
// error a caller reads is the one the library set.
SC_HANDLE WINAPI user_open_manager(LPCSTR machine, LPCSTR database, DWORD access) {
    if ((access & ~user_manager_access) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    SC_HANDLE manager = g_open_manager(machine, database, access);
    SetLastError(ERROR_SUCCESS);
    return manager;
}

SC_HANDLE WINAPI user_open_service(SC_HANDLE manager, LPCSTR name, DWORD access) {
    if ((access & ~g_service_allowed) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    SC_HANDLE service = g_open_service(manager, name, access);
    SetLastError(ERROR_SUCCESS);
    return service;
}

BOOL WINAPI user_query_config(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD bytes,
                              LPDWORD needed) {
    const BOOL read = g_query_config(service, config, bytes, needed);
    if (read) {
        SetLastError(ERROR_SUCCESS);
    }
    return read;
}

// While it lives, the library opens the service manager as a standard user would, granted
// `extra` on the service besides the user's default rights.
struct standard_user {
    explicit standard_user(DWORD extra)
        : manager("advapi32.dll", "OpenSCManagerA",
                  reinterpret_cast<const void*>(&user_open_manager)),
          service("advapi32.dll", "OpenServiceA",
                  reinterpret_cast<const void*>(&user_open_service)),
          query("advapi32.dll", "QueryServiceConfigA",
                reinterpret_cast<const void*>(&user_query_config)) {
        g_service_allowed = user_service_access | extra;
        g_open_manager = manager.original<decltype(&OpenSCManagerA)>();
        g_open_service = service.original<decltype(&OpenServiceA)>();
        g_query_config = query.original<decltype(&QueryServiceConfigA)>();
    }
    bool applied() const { return manager.applied() && service.applied() && query.applied(); }
    import_patch manager;
    import_patch service;
    import_patch query;
};

// A deleted service goes once no handle to it is open: the library kept none, nor a probe.
void expect_no_handle_left(test_service& service) {
    const std::string name = service.name();
    if (service.state() != SERVICE_STOPPED) {
        ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP)) << GetLastError();
        ASSERT_TRUE(service.wait_for_state(SERVICE_STOPPED, 5000)) << service.state();
    }
    ASSERT_TRUE(service.remove()) << GetLastError();
    // The stopped service's process may take a moment to end; a handle left open holds it longer.
    EXPECT_TRUE(
        pump_until([&] { return open_service_error(name) == ERROR_SERVICE_DOES_NOT_EXIST; }, 5000))
        << "a handle to the service is still open";
}

// Counts what the library sends the service and refuses every configuration change.
struct action_counter {
    action_counter()
        : change("advapi32.dll", "ChangeServiceConfigA",
                 reinterpret_cast<const void*>(&refusing_change_config)),
          control("advapi32.dll", "ControlService",
                  reinterpret_cast<const void*>(&refusing_control_service)),
          start("advapi32.dll", "StartServiceA",
                reinterpret_cast<const void*>(&refusing_start_service)) {
        g_refuse = {};
        g_control_service = control.original<decltype(&ControlService)>();
        g_start_service = start.original<decltype(&StartServiceA)>();
    }
    bool applied() const { return change.applied() && control.applied() && start.applied(); }
    import_patch change;
    import_patch control;
    import_patch start;
};

std::string status_text(DWORD state) {
    constexpr const char* texts[] = {"Stopped",          "Start Pending", "Stop Pending", "Running",
                                     "Continue Pending", "Pause Pending", "Paused"};
    return state >= 1 && state <= 7 ? texts[state - 1] : "state " + std::to_string(state);
}

} // namespace

// Wine's service manager does not notice a service process that dies: it goes on reporting
// "Running" and fails controls with a broken pipe. The page shows what the manager reports.
TEST(ServiceFaults, KilledServiceProcessLeavesThePageShowingWhatTheManagerReports) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        ASSERT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        const DWORD pid = service_process_id(service);
        ASSERT_NE(0u, pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        ASSERT_NE(nullptr, process) << GetLastError();
        EXPECT_TRUE(TerminateProcess(process, 99)) << GetLastError();
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 5000));
        CloseHandle(process);

        for (int tick = 0; tick < 20; ++tick) {
            EXPECT_EQ(TRUE, call_page_proc(page, WM_TIMER, 1, 0));
        }
        EXPECT_EQ(status_text(service.state()), item_text(page, IDC_STATUS_TEXT));
        // A Stop the dead process cannot answer fails quietly and returns.
        click(page, IDC_STOP_SERVICE);
        pump_messages(400);
        EXPECT_EQ(status_text(service.state()), item_text(page, IDC_STATUS_TEXT));

        // The rest of the page still works.
        click(page, IDC_START_AUTOMATIC);
        apply(sheet);
        EXPECT_EQ("Automatic", checked_start_types(page));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), service.config().start_type);
        close_sheet(sheet);
    });
}

TEST(ServiceFaults, ServiceDeletedUnderThePageKeepsThePageInStepWithTheManager) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    const std::string name = service.name();
    ASSERT_EQ(1, InitServiceControl(name.c_str()));

    ASSERT_EQ(0, AddServiceControlPage(FALSE, nullptr));
    const int result = run_sheet("Service test", 0, [&](HWND sheet) {
        HWND page = service_page(sheet);
        ASSERT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        // Deleted while running, the service lives on until it stops and the last handle goes.
        ASSERT_TRUE(service.remove()) << GetLastError();
        pump_messages(300);
        EXPECT_EQ("Running", item_text(page, IDC_STATUS_TEXT));

        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE deleted = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
        ASSERT_NE(nullptr, deleted) << GetLastError();
        SERVICE_STATUS status = {};
        EXPECT_TRUE(ControlService(deleted, SERVICE_CONTROL_STOP, &status)) << GetLastError();
        EXPECT_TRUE(wait_for_status(page, "Stopped"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);

        // Start and a new start type on a deleted service: whatever the manager makes of
        // them, the page shows what it reports afterwards.
        click(page, IDC_START_SERVICE);
        pump_messages(400);
        EXPECT_TRUE(QueryServiceStatus(deleted, &status)) << GetLastError();
        EXPECT_EQ(status_text(status.dwCurrentState), item_text(page, IDC_STATUS_TEXT));
        if (status.dwCurrentState != SERVICE_STOPPED) {
            ControlService(deleted, test_service_control_quit, &status);
            EXPECT_TRUE(wait_for_status(page, "Stopped"))
                << "status: " << item_text(page, IDC_STATUS_TEXT);
        }
        click(page, IDC_START_DISABLED);
        apply(sheet);
        alignas(QUERY_SERVICE_CONFIGA) BYTE buffer[4096];
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
        DWORD needed = 0;
        ASSERT_TRUE(QueryServiceConfigA(deleted, config, sizeof buffer, &needed)) << GetLastError();
        EXPECT_EQ(config->dwStartType == SERVICE_DISABLED ? "Disabled" : "Manual",
                  checked_start_types(page));
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        CloseServiceHandle(deleted);
        CloseServiceHandle(manager);
        PropSheet_PressButton(sheet, PSBTN_OK);
    });
    EXPECT_FALSE(sheet_left_open());
    EXPECT_GE(result, 0);
    DeInitServiceControl();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), open_service_error(name))
        << "the connection let go, yet the deleted service stays";
}

// OK pressed on the host's own page: the refusal brings the Service page forward, which shows
// what the service really has.
TEST(ServiceFaults, RefusedChangeKeepsTheSheetOpenOnTheServicePageWithTheRealStartType) {
    test_service service(service_options().start(SERVICE_AUTO_START));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    g_refuse = {};

    ASSERT_EQ(0, AddTabbedPage(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TEST_ALPHA),
                               host_page_proc));
    ASSERT_EQ(1, AddServiceControlPage(TRUE, nullptr));
    int shown_after_refusal = -1;
    bool close_shown = true, apply_lit = true;
    const int result = run_sheet("Service test", 1, [&](HWND sheet) {
        HWND page = PropSheet_IndexToHwnd(sheet, 1);
        import_patch change("advapi32.dll", "ChangeServiceConfigA",
                            reinterpret_cast<const void*>(&refusing_change_config));
        ASSERT_TRUE(change.applied());
        click(page, IDC_START_DISABLED);
        click(page, IDC_INTERACT_WITH_DESKTOP);
        EXPECT_EQ("Disabled", checked_start_types(page));

        PropSheet_SetCurSel(sheet, nullptr, 0);
        PropSheet_PressButton(sheet, PSBTN_OK);
        pump_messages(200);
        shown_after_refusal =
            static_cast<int>(PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet)));
        EXPECT_EQ(2, g_refuse.change_calls) << "the start type and the box, one call each";
        EXPECT_EQ("Automatic", checked_start_types(page));
        EXPECT_FALSE(item_checked(page, IDC_INTERACT_WITH_DESKTOP));
        EXPECT_EQ("Stopped", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ("Start", enabled_buttons(page));
        apply_lit = IsWindowEnabled(GetDlgItem(sheet, apply_button_id)) != FALSE;
        PropSheet_Apply(sheet); // nothing left to write
        pump_messages(100);
        close_shown = window_text(GetDlgItem(sheet, IDOK)) == "Close";

        // The page goes on: a later choice applies once the service manager agrees again.
        click(page, IDC_START_MANUAL);
        PropSheet_PressButton(sheet, PSBTN_OK);
    });
    EXPECT_FALSE(sheet_left_open());
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(1, shown_after_refusal) << "the refusal left the user on the page OK was pressed on";
    EXPECT_FALSE(close_shown) << "Cancel became Close though nothing was saved";
    EXPECT_FALSE(apply_lit) << "Apply stayed lit over the reloaded settings";
    const service_config_values config = service.config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), config.start_type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.service_type);
}

// A control-panel applet runs without elevation: the page shows such a user the service and
// offers only what the service manager will let the user do.
TEST(ServiceFaults, StandardUserSeesTheStateAndIsOfferedNothing) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    standard_user user(0);
    action_counter actions;
    ASSERT_TRUE(user.applied() && actions.applied());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, InitServiceControl(service.name().c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    std::string status, enabled;
    bool box_visible = false;
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        pump_messages(300);
        status = item_text(page, IDC_STATUS_TEXT);
        enabled = enabled_buttons(page) + "/" + enabled_start_types(page) +
                  (item_enabled(page, IDC_INTERACT_WITH_DESKTOP) ? "/box" : "/");
        box_visible = item_visible(page, IDC_INTERACT_WITH_DESKTOP);
        PropSheet_PressButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ("Running", status);
    EXPECT_EQ("//", enabled) << "enabled: buttons/start types/box";
    EXPECT_TRUE(box_visible);
    EXPECT_EQ(0, g_refuse.change_calls);
    EXPECT_EQ(0, g_refuse.control_calls);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.state());
    DeInitServiceControl();
    expect_no_handle_left(service);
}

TEST(ServiceFaults, UserGrantedStartAndStopMayStopAndStartButNotReconfigure) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    {
        // Exactly the page's rights are enough: the library asks for no more.
        standard_user administrator(page_access);
        ASSERT_TRUE(administrator.applied());
        EXPECT_EQ(1, InitServiceControl(service.name().c_str())) << GetLastError();
    }
    standard_user user(SERVICE_START | SERVICE_STOP);
    ASSERT_TRUE(user.applied());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, InitServiceControl(service.name().c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        EXPECT_TRUE(wait_for_status(page, "Running"));
        EXPECT_EQ("Stop", enabled_buttons(page)) << "no right to pause";
        EXPECT_EQ("", enabled_start_types(page));
        EXPECT_FALSE(item_enabled(page, IDC_INTERACT_WITH_DESKTOP));
        // The handle the page keeps carries the rights the user holds.
        click(page, IDC_STOP_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Stopped"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Start", enabled_buttons(page));
        click(page, IDC_START_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Running"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        close_sheet(sheet);
    });
    DeInitServiceControl();
    expect_no_handle_left(service);
}

// A host may release the connection from inside the sheet (from its help callback, say): the
// page becomes what a page without a connection is, and its pending choice is not saved.
TEST(ServiceFaults, ConnectionReleasedUnderAnOpenPageLeavesItInertAndSavesNothing) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));

    std::string status, enabled, checked;
    bool apply_lit = true, close_shown = true;
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        ASSERT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        click(page, IDC_START_DISABLED);
        DeInitServiceControl();
        pump_messages(300);
        status = item_text(page, IDC_STATUS_TEXT);
        enabled = enabled_buttons(page) + "/" + enabled_start_types(page) +
                  (item_enabled(page, IDC_INTERACT_WITH_DESKTOP) ? "/box" : "/");
        checked = checked_start_types(page);
        apply_lit = IsWindowEnabled(GetDlgItem(sheet, apply_button_id)) != FALSE;
        PropSheet_Apply(sheet);
        pump_messages(100);
        close_shown = window_text(GetDlgItem(sheet, IDOK)) == "Close";
        close_sheet(sheet);
    });
    EXPECT_EQ("Not Installed", status);
    EXPECT_EQ("//", enabled) << "enabled: buttons/start types/box";
    EXPECT_EQ("", checked);
    EXPECT_FALSE(apply_lit);
    EXPECT_FALSE(close_shown) << "Cancel became Close though nothing was saved";
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service.config().start_type);
}

TEST(ServiceFaults, RefusedQueriesAndControlsKeepTheLastGoodPicture) {
    test_service service(service_options().args("accept=3"));
    ASSERT_TRUE(service.created()) << service.create_error();
    ASSERT_TRUE(service.start()) << "state " << service.state();
    ASSERT_EQ(1, InitServiceControl(service.name().c_str()));
    g_refuse = {};

    show_service_page(FALSE, nullptr, [&](HWND sheet, HWND page) {
        import_patch status("advapi32.dll", "QueryServiceStatus",
                            reinterpret_cast<const void*>(&refusing_query_status));
        import_patch control("advapi32.dll", "ControlService",
                             reinterpret_cast<const void*>(&refusing_control_service));
        import_patch start("advapi32.dll", "StartServiceA",
                           reinterpret_cast<const void*>(&refusing_start_service));
        ASSERT_TRUE(status.applied() && control.applied() && start.applied());
        g_query_status = status.original<decltype(&QueryServiceStatus)>();
        g_control_service = control.original<decltype(&ControlService)>();
        g_start_service = start.original<decltype(&StartServiceA)>();

        // Stop refused: nothing changes.
        g_refuse.control = true;
        click(page, IDC_STOP_SERVICE);
        pump_messages(300);
        EXPECT_EQ(1, g_refuse.control_calls);
        EXPECT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ("Pause|Stop", enabled_buttons(page));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.state());

        // The service stops behind a status query that fails: the page keeps "Running".
        g_refuse.status = true;
        ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP)) << GetLastError();
        ASSERT_TRUE(service.wait_for_state(SERVICE_STOPPED, 5000)) << service.state();
        const int calls_before = g_refuse.status_calls;
        for (int tick = 0; tick < 20; ++tick) {
            EXPECT_EQ(TRUE, call_page_proc(page, WM_TIMER, 1, 0));
        }
        pump_messages(300);
        EXPECT_GE(g_refuse.status_calls - calls_before, 20);
        EXPECT_EQ("Running", item_text(page, IDC_STATUS_TEXT));
        EXPECT_EQ("Pause|Stop", enabled_buttons(page));
        EXPECT_EQ("Automatic|Manual|Disabled", enabled_start_types(page));

        // Answers again: the next tick shows the truth.
        g_refuse.status = false;
        EXPECT_TRUE(wait_for_status(page, "Stopped"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_EQ("Start", enabled_buttons(page));

        g_refuse.control = false;
        click(page, IDC_START_SERVICE);
        EXPECT_TRUE(wait_for_status(page, "Running"))
            << "status: " << item_text(page, IDC_STATUS_TEXT);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, apply_button_id))) << "Apply lit up";
        close_sheet(sheet);
    });
}
