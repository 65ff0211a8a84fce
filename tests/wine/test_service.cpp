// A real Windows service for the tests: its accepted controls and pending delays come from
// its command line, so a test can hold it in every state.
//
//   svcsheet_test_service.exe [accept=N] [start_ms=N] [stop_ms=N] [pause_ms=N] [continue_ms=N]
//
// Also a host that ends with its connection open, for the tests of process exit:
//
//   svcsheet_test_service.exe --exit-connected NAME
#include <windows.h>

#include "test_service.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct options {
    DWORD accept = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    DWORD start_ms = 0;
    DWORD stop_ms = 0;
    DWORD pause_ms = 0;
    DWORD continue_ms = 0;
};

// The handler runs on the dispatcher thread and must return at once, or ControlService
// blocks its caller; the pending delays therefore pass in service_main.
struct service_state {
    options opts;
    SERVICE_STATUS_HANDLE handle;
    CRITICAL_SECTION lock;
    HANDLE wake;
    DWORD current;
    DWORD target;
    DWORD delay;
    DWORD checkpoint;
};
service_state g_service;

void report_locked(DWORD state) {
    g_service.current = state;
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : g_service.opts.accept;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                         state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
    status.dwCheckPoint = pending ? ++g_service.checkpoint : 0;
    status.dwWaitHint = pending ? 10000 : 0;
    SetServiceStatus(g_service.handle, &status);
}

// Reports the pending state now and the target state after the delay.
DWORD begin_transition(DWORD pending, DWORD target, DWORD delay) {
    EnterCriticalSection(&g_service.lock);
    report_locked(pending);
    g_service.target = target;
    g_service.delay = delay;
    LeaveCriticalSection(&g_service.lock);
    SetEvent(g_service.wake);
    return NO_ERROR;
}

DWORD WINAPI on_control(DWORD control, DWORD, LPVOID, LPVOID) {
    const options& opts = g_service.opts;
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (!(opts.accept & SERVICE_ACCEPT_STOP)) {
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
        return begin_transition(SERVICE_STOP_PENDING, SERVICE_STOPPED, opts.stop_ms);
    case SERVICE_CONTROL_PAUSE:
        if (!(opts.accept & SERVICE_ACCEPT_PAUSE_CONTINUE)) {
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
        return begin_transition(SERVICE_PAUSE_PENDING, SERVICE_PAUSED, opts.pause_ms);
    case SERVICE_CONTROL_CONTINUE:
        if (!(opts.accept & SERVICE_ACCEPT_PAUSE_CONTINUE)) {
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
        return begin_transition(SERVICE_CONTINUE_PENDING, SERVICE_RUNNING, opts.continue_ms);
    case test_service_control_quit:
        // Whatever it accepts, a test can always end the service.
        return begin_transition(SERVICE_STOP_PENDING, SERVICE_STOPPED, 0);
    case SERVICE_CONTROL_INTERROGATE:
        EnterCriticalSection(&g_service.lock);
        report_locked(g_service.current);
        LeaveCriticalSection(&g_service.lock);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI service_main(DWORD, LPSTR* argv) {
    g_service.handle = RegisterServiceCtrlHandlerExA(argv[0], on_control, nullptr);
    if (g_service.handle == nullptr) {
        return;
    }
    begin_transition(SERVICE_START_PENDING, SERVICE_RUNNING, g_service.opts.start_ms);
    for (;;) {
        WaitForSingleObject(g_service.wake, INFINITE);
        EnterCriticalSection(&g_service.lock);
        const DWORD target = g_service.target;
        const DWORD delay = g_service.delay;
        LeaveCriticalSection(&g_service.lock);
        Sleep(delay);
        EnterCriticalSection(&g_service.lock);
        // A control that arrived during the delay set a new target and woke us again.
        const bool reached = g_service.target == target;
        if (reached) {
            report_locked(target);
        }
        LeaveCriticalSection(&g_service.lock);
        if (reached && target == SERVICE_STOPPED) {
            return;
        }
    }
}

bool parse_option(const char* arg, options& opts) {
    struct field {
        const char* name;
        DWORD options::*value;
    };
    static constexpr field fields[] = {
        {"accept=", &options::accept},           {"start_ms=", &options::start_ms},
        {"stop_ms=", &options::stop_ms},         {"pause_ms=", &options::pause_ms},
        {"continue_ms=", &options::continue_ms},
    };
    for (const field& f : fields) {
        const size_t length = std::strlen(f.name);
        if (std::strncmp(arg, f.name, length) == 0) {
            opts.*f.value = static_cast<DWORD>(std::strtoul(arg + length, nullptr, 0));
            return true;
        }
    }
    return false;
}

// Loads svcsheet.dll, connects it to the service and returns, so the process ends with the
// library loaded and its connection open.
int exit_connected(const char* service_name) {
    HMODULE library = LoadLibraryA("svcsheet.dll");
    auto init = reinterpret_cast<int(WINAPI*)(LPCSTR)>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitServiceControl")));
    if (init == nullptr) {
        std::printf("svcsheet.dll not loaded\n");
        return 1;
    }
    const int connected = init(service_name);
    std::printf("%s\n", connected == 1 ? "connected" : "not connected");
    std::fflush(stdout);
    return connected == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--exit-connected") == 0) {
        return exit_connected(argv[2]);
    }
    for (int i = 1; i < argc; ++i) {
        if (!parse_option(argv[i], g_service.opts)) {
            std::fprintf(stderr, "svcsheet_test_service: unknown option '%s'\n", argv[i]);
            return 2;
        }
    }
    InitializeCriticalSection(&g_service.lock);
    g_service.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);

    char name[] = "svcsheet_test_service";
    SERVICE_TABLE_ENTRYA table[] = {{name, service_main}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        std::fprintf(stderr, "svcsheet_test_service: not started by the service manager (%lu)\n",
                     GetLastError());
        return 1;
    }
    return 0;
}
