// Measures svcsheet.dll on the platform it runs on and prints one line per figure,
// "row<TAB>measure<TAB>figure<TAB>goal<TAB>met", for scripts/bench to put in its table.
//
//   svcsheet_bench [--runs N] [--emulated]
//                                  every measure, N cycles each (default 2000; the refresh
//                                  tick, three batches of N; the Stop click, at most 15).
//                                  --emulated: the CPU is emulated, so goals on times are
//                                  shown but not judged ("emulated" in the met column)
//   svcsheet_bench --first-load    one LoadLibrary in this fresh process (used by the above)
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "allocation_counter.h"
#include "child_process.h"
#include "import_patch.h"
#include "service_page_ids.h"
#include "svcsheet.h"
#include "test_service.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* library_name = "svcsheet.dll";
// The DLL's own imports beyond kernel32 and msvcrt, which every program here has.
constexpr const char* dependencies[] = {"comctl32.dll", "user32.dll", "advapi32.dll"};

struct row {
    std::string measure;
    std::string figure;
    std::string goal;
    std::string met; // "yes", "no", or "-" where there is no goal
};

struct options {
    int runs = 2000;
    bool emulated = false;
};

// The met column of a goal on times.
const char* timed_goal_met(const options& opts, bool met) {
    return opts.emulated ? "emulated" : met ? "yes" : "no";
}

double now_us() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "median 12.3 µs, p90 14.0, p99 20.1, min 11.0 (n=2000)"; max instead of the percentiles
// for a few samples.
std::string distribution(std::vector<double> samples) {
    if (samples.empty()) {
        return "no samples";
    }
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) {
        const auto index = static_cast<std::size_t>(q * static_cast<double>(samples.size()));
        return samples[std::min(index, samples.size() - 1)];
    };
    std::string text = format("median %.1f µs", at(0.5));
    // Percentiles of a handful of samples would only repeat the largest.
    if (samples.size() >= 100) {
        text += format(", p90 %.1f", at(0.9)) + format(", p99 %.1f", at(0.99));
    } else {
        text += format(", max %.1f", samples.back());
    }
    return text + format(", min %.1f", samples.front()) + " (n=" + std::to_string(samples.size()) +
           ")";
}

std::string not_yet_loaded() {
    std::string names;
    for (const char* name : dependencies) {
        if (GetModuleHandleA(name) == nullptr) {
            names += names.empty() ? name : std::string(", ") + name;
        }
    }
    return names.empty() ? "none" : names;
}

// LoadLibrary and FreeLibrary over and over, with the DLL's dependencies kept resident:
// what remains is mapping and binding svcsheet.dll and its attach and detach.
void measure_attach(const options& opts, std::vector<row>& rows) {
    for (const char* name : dependencies) {
        LoadLibraryA(name);
    }
    std::vector<double> loads;
    std::vector<double> frees;
    loads.reserve(opts.runs);
    frees.reserve(opts.runs);
    const int warm_up = std::min(opts.runs, 20);
    for (int i = 0; i < warm_up + opts.runs; ++i) {
        const double start = now_us();
        HMODULE module = LoadLibraryA(library_name);
        const double loaded = now_us();
        if (module == nullptr) {
            rows.push_back({"LoadLibrary", "failed: " + std::to_string(GetLastError()), "", "no"});
            return;
        }
        FreeLibrary(module);
        const double freed = now_us();
        if (i >= warm_up) {
            loads.push_back(loaded - start);
            frees.push_back(freed - loaded);
        }
    }
    rows.push_back({"process attach: LoadLibrary of svcsheet.dll, dependencies resident",
                    distribution(loads), "-", "-"});
    rows.push_back({"process detach: FreeLibrary of svcsheet.dll", distribution(frees), "-", "-"});

    // The attach work of DllMain itself, called as the loader calls it.
    HMODULE module = LoadLibraryA(library_name);
    auto entry = test_support::exported_dll_main(module);
    if (entry != nullptr) {
        std::vector<double> calls;
        calls.reserve(opts.runs);
        for (int i = 0; i < opts.runs; ++i) {
            const double start = now_us();
            entry(module, DLL_PROCESS_ATTACH, nullptr);
            calls.push_back(now_us() - start);
        }
        rows.push_back({"DllMain(DLL_PROCESS_ATTACH) alone", distribution(calls), "-", "-"});
    }
    FreeLibrary(module);
}

// Runs this program again with --first-load and returns what it printed.
std::string run_child(const char* argument) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return test_support::run_and_capture(std::string("\"") + path + "\" " + argument);
}

// The first load in a fresh process, which also maps whatever of the DLL's
// dependencies the process has not loaded yet. One sample per process.
void measure_first_load(const options& opts, std::vector<row>& rows) {
    const int processes = std::min(opts.runs, 7);
    std::vector<double> samples;
    std::string loaded_with;
    for (int i = 0; i < processes; ++i) {
        const std::string output = run_child("--first-load");
        char names[256] = {};
        double us = 0;
        if (std::sscanf(output.c_str(), "first-load %lf %255[^\r\n]", &us, names) == 2) {
            samples.push_back(us);
            loaded_with = names;
        }
    }
    if (samples.empty()) {
        rows.push_back({"first LoadLibrary in a fresh process", "failed", "-", "no"});
        return;
    }
    rows.push_back({"first LoadLibrary in a fresh process (also loads: " + loaded_with + ")",
                    distribution(samples), "-", "-"});
}

int first_load() {
    const std::string missing = not_yet_loaded();
    const double start = now_us();
    HMODULE module = LoadLibraryA(library_name);
    const double loaded = now_us();
    if (module == nullptr) {
        return 1;
    }
    std::printf("first-load %.1f %s\n", loaded - start, missing.c_str());
    return 0;
}

// The Service page, measured against a real service of the test service program.

constexpr const char* bench_caption = "svcsheet bench";
constexpr double tick_ms = 100.0;

struct service_exports {
    decltype(&InitServiceControl) init;
    decltype(&DeInitServiceControl) deinit;
    decltype(&AddServiceControlPage) add_page;
    decltype(&DoDialog) do_dialog;
};

template <typename F> F export_of(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

std::string page_status(HWND page) {
    char text[64] = {};
    GetDlgItemTextA(page, IDC_STATUS_TEXT, text, sizeof text);
    return text;
}

// Dispatches messages, the real 100 ms timer included, until the page reads text.
bool pump_until_status(HWND page, const char* text, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (page_status(page) != text) {
        if (GetTickCount() - start >= timeout_ms) {
            return false;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (page_status(page) == text) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

// The queries a refresh makes, bare, on a handle of the bench's own: the status, and for a
// stopped service, whose Start button depends on its start type, the configuration too.
void bare_queries(SC_HANDLE service, bool stopped) {
    SERVICE_STATUS status;
    QueryServiceStatus(service, &status);
    if (!stopped) {
        return;
    }
    alignas(QUERY_SERVICE_CONFIGA) unsigned char buffer[8192];
    DWORD needed = 0;
    QueryServiceConfigA(service, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer,
                        &needed);
}

const char* bare_queries_name(bool stopped) {
    return stopped ? "QueryServiceStatus + QueryServiceConfigA" : "QueryServiceStatus";
}

struct service_bench {
    const options* opts;
    std::vector<row>* rows;
    SC_HANDLE own; // the bench's own handle to the same service
    UINT_PTR timer;
    bool ran;
};
service_bench g_bench;

// For comparison: the eight control updates a refresh would make if it looked every
// control up and wrote every enabled state, each to what the control already shows.
void update_controls_unchanged(HWND page) {
    char text[64] = {};
    GetDlgItemTextA(page, IDC_STATUS_TEXT, text, sizeof text);
    SetDlgItemTextA(page, IDC_STATUS_TEXT, text);
    for (int id : {IDC_START_AUTOMATIC, IDC_START_MANUAL, IDC_START_DISABLED, IDC_START_SERVICE,
                   IDC_CONTINUE_SERVICE, IDC_PAUSE_SERVICE, IDC_STOP_SERVICE}) {
        HWND control = GetDlgItem(page, id);
        EnableWindow(control, IsWindowEnabled(control));
    }
}

// Ticks against the bare queries they make, in the page's present state (running or
// stopped); with the running service also what unconditional control updates would cost.
void measure_tick_cost(HWND page, bool stopped) {
    // The ratio is judged per batch and the worst batch counts: a quiet stretch of the
    // machine cannot make up for a slow one.
    constexpr int batches = 3;
    constexpr double ratio_goal = 1.05;
    const int runs = g_bench.opts->runs;
    const std::string state = stopped ? "stopped service" : "running service";
    std::vector<double> ticks, bare, updates, ratios;
    ticks.reserve(batches * runs);
    bare.reserve(batches * runs);
    updates.reserve(batches * runs);
    for (int batch = 0; batch < batches; ++batch) {
        std::vector<double> batch_ticks, batch_bare;
        // Side by side, alternating, so drift in the service manager hits both alike.
        for (int i = 0; i < 20 + runs; ++i) {
            const double start = now_us();
            SendMessageA(page, WM_TIMER, 1, 0);
            const double ticked = now_us();
            bare_queries(g_bench.own, stopped);
            const double queried = now_us();
            if (!stopped) {
                update_controls_unchanged(page);
            }
            const double updated = now_us();
            if (i >= 20) {
                batch_ticks.push_back(ticked - start);
                batch_bare.push_back(queried - ticked);
                updates.push_back(updated - queried);
            }
        }
        ratios.push_back(median(batch_ticks) / median(batch_bare));
        ticks.insert(ticks.end(), batch_ticks.begin(), batch_ticks.end());
        bare.insert(bare.end(), batch_bare.begin(), batch_bare.end());
    }
    const double worst = *std::max_element(ratios.begin(), ratios.end());
    std::string figure =
        format("%.3f, the worst of", worst) + " " + std::to_string(batches) + " batches (";
    for (std::size_t i = 0; i < ratios.size(); ++i) {
        figure += format(i == 0 ? "%.3f" : ", %.3f", ratios[i]);
    }
    figure += "; medians of " + std::to_string(runs) + " ticks each)";
    g_bench.rows->push_back({"Service page refresh tick, " + state + " (WM_TIMER sent to the page)",
                             distribution(ticks), "-", "-"});
    g_bench.rows->push_back({std::string("its bare queries (") + bare_queries_name(stopped) + ")",
                             distribution(bare), "-", "-"});
    if (!stopped) {
        g_bench.rows->push_back({"for comparison: status text + 7 unconditional EnableWindow",
                                 distribution(updates), "-", "-"});
    }
    g_bench.rows->push_back({"refresh tick / its bare service-manager queries, " + state, figure,
                             format("<= %.2f", ratio_goal),
                             timed_goal_met(*g_bench.opts, worst <= ratio_goal)});
}

// Counts the allocations of the DLL's own imports over ticks sent to the page.
long count_tick_allocations(HWND page, std::string& counted, std::string& absent) {
    test_support::allocation_counter allocations;
    counted = allocations.counted();
    absent = allocations.absent();
    for (int i = 0; i < g_bench.opts->runs; ++i) {
        SendMessageA(page, WM_TIMER, 1, 0);
    }
    return allocations.count();
}

void add_tick_allocations_row(long running, long stopped, const std::string& counted,
                              const std::string& absent) {
    const int runs = g_bench.opts->runs;
    char figure[320];
    std::snprintf(figure, sizeof figure,
                  "%.3f (%ld in %d ticks of a running service, %ld in %d of a stopped one; "
                  "counted through the DLL's imports %s; not imported: %s)",
                  static_cast<double>(running + stopped) / (2.0 * runs), running, runs, stopped,
                  runs, counted.empty() ? "none" : counted.c_str(),
                  absent.empty() ? "none" : absent.c_str());
    g_bench.rows->push_back({"heap allocations per refresh tick", figure, "0",
                             running == 0 && stopped == 0 && !counted.empty() ? "yes" : "no"});
}

void measure_stop_latency(HWND page, double bare_ms) {
    HWND stop = GetDlgItem(page, IDC_STOP_SERVICE);
    HWND start = GetDlgItem(page, IDC_START_SERVICE);
    const int samples = std::min(g_bench.opts->runs, 15);
    std::vector<double> latencies, clicks;
    for (int i = 0; i < samples; ++i) {
        if (!pump_until_status(page, "Running", 10000)) {
            break;
        }
        // Clicks land anywhere within a timer period, as a user's do.
        Sleep(static_cast<DWORD>(i * 37 % 100));
        const double begin = now_us();
        SendMessageA(stop, BM_CLICK, 0, 0);
        const double clicked = now_us();
        if (!pump_until_status(page, "Stop Pending", 5000)) {
            break;
        }
        latencies.push_back((now_us() - begin) / 1000.0);
        clicks.push_back((clicked - begin) / 1000.0);
        if (!pump_until_status(page, "Stopped", 10000)) {
            break;
        }
        SendMessageA(start, BM_CLICK, 0, 0);
    }
    if (latencies.empty()) {
        g_bench.rows->push_back({"Stop click to \"Stop Pending\" shown", "failed", "", "no"});
        return;
    }
    const double worst = *std::max_element(latencies.begin(), latencies.end());
    const double limit = tick_ms + bare_ms;
    char figure[200];
    std::snprintf(figure, sizeof figure,
                  "median %.1f ms, max %.1f, min %.1f (n=%zu; the click itself: median %.1f ms)",
                  median(latencies), worst, *std::min_element(latencies.begin(), latencies.end()),
                  latencies.size(), median(clicks));
    char goal[80];
    std::snprintf(goal, sizeof goal, "<= 100 ms + the queries (%.1f ms)", limit);
    g_bench.rows->push_back({"Stop click to \"Stop Pending\" shown", figure, goal,
                             timed_goal_met(*g_bench.opts, worst <= limit + median(clicks))});
}

BOOL CALLBACK find_bench_sheet(HWND window, LPARAM found) {
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, bench_caption) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK run_service_measures(HWND, UINT, UINT_PTR, DWORD) {
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_bench_sheet, reinterpret_cast<LPARAM>(&sheet));
    if (sheet == nullptr || g_bench.ran) {
        return;
    }
    g_bench.ran = true;
    KillTimer(nullptr, g_bench.timer);
    auto page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
    SERVICE_STATUS status;
    std::string counted, absent;
    if (page == nullptr || !pump_until_status(page, "Running", 10000)) {
        g_bench.rows->push_back({"Service page", "did not show the running service", "", "no"});
    } else {
        measure_tick_cost(page, false);
        const long running = count_tick_allocations(page, counted, absent);
        // The same page once the service has stopped: its refresh then reads the
        // configuration too.
        ControlService(g_bench.own, SERVICE_CONTROL_STOP, &status);
        if (!pump_until_status(page, "Stopped", 20000)) {
            g_bench.rows->push_back({"Service page", "did not show the service stopped", "", "no"});
        } else {
            measure_tick_cost(page, true);
            const long stopped = count_tick_allocations(page, counted, absent);
            add_tick_allocations_row(running, stopped, counted, absent);
            StartServiceA(g_bench.own, 0, nullptr);
            // The Stop click's refresh and those after it query the status alone.
            std::vector<double> bare;
            for (int i = 0; i < 200; ++i) {
                const double start = now_us();
                bare_queries(g_bench.own, false);
                bare.push_back(now_us() - start);
            }
            measure_stop_latency(page, median(bare) / 1000.0);
        }
    }
    SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

std::string unique_service_name() {
    char name[64];
    std::snprintf(name, sizeof name, "svcsheet_bench_%lu_%lu", GetCurrentProcessId(),
                  GetTickCount());
    return name;
}

void measure_service_page(const options& opts, std::vector<row>& rows) {
    const std::string command = "\"" +
                                test_support::program_beside_this_one("svcsheet_test_service.exe") +
                                "\" accept=3 stop_ms=300";
    const std::string name = unique_service_name();
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service =
        manager == nullptr
            ? nullptr
            : CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                             command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    HMODULE module = LoadLibraryA(library_name);
    const service_exports api = {
        export_of<decltype(&InitServiceControl)>(module, "InitServiceControl"),
        export_of<decltype(&DeInitServiceControl)>(module, "DeInitServiceControl"),
        export_of<decltype(&AddServiceControlPage)>(module, "AddServiceControlPage"),
        export_of<decltype(&DoDialog)>(module, "DoDialog")};
    if (service == nullptr || !StartServiceA(service, 0, nullptr) || api.init == nullptr ||
        api.deinit == nullptr || api.add_page == nullptr || api.do_dialog == nullptr ||
        api.init(name.c_str()) != 1 || api.add_page(FALSE, nullptr) != 0) {
        rows.push_back(
            {"Service page", "could not set up: " + std::to_string(GetLastError()), "", "no"});
    } else {
        g_bench = {&opts, &rows, service, 0, false};
        g_bench.timer = SetTimer(nullptr, 0, 10, run_service_measures);
        api.do_dialog(nullptr, bench_caption, 0);
        api.deinit();
    }
    if (service != nullptr) {
        SERVICE_STATUS status;
        ControlService(service, test_service_control_quit, &status);
        for (int i = 0; i < 100 && QueryServiceStatus(service, &status) &&
                        status.dwCurrentState != SERVICE_STOPPED;
             ++i) {
            Sleep(20);
        }
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
    if (module != nullptr) {
        FreeLibrary(module);
    }
}

using measure_function = void (*)(const options&, std::vector<row>&);

const measure_function measures[] = {measure_attach, measure_first_load, measure_service_page};

} // namespace

int main(int argc, char** argv) {
    options opts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--first-load") == 0) {
            return first_load();
        }
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            opts.runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--emulated") == 0) {
            opts.emulated = true;
        } else {
            std::fprintf(stderr, "usage: svcsheet_bench [--runs N] [--emulated] | --first-load\n");
            return 2;
        }
    }
    std::vector<row> rows;
    for (measure_function measure : measures) {
        measure(opts, rows);
    }
    bool all_met = true;
    for (const row& r : rows) {
        std::printf("row\t%s\t%s\t%s\t%s\n", r.measure.c_str(), r.figure.c_str(), r.goal.c_str(),
                    r.met.c_str());
        all_met = all_met && r.met != "no";
    }
    return all_met ? 0 : 1;
}
