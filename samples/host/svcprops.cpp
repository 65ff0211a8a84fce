// svcprops: a small control-panel-style host of svcsheet.dll. It shows a "General"
// page of its own and the library's Service page for one service.
//
//   svcprops <service key name> [--caption TEXT] [--interact] [--start-page N]
#include <windows.h>

#include "svcsheet.h"
#include "resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct options {
    const char* service = nullptr;
    std::string caption;
    bool interact = false;
    UINT start_page = 0;
};

struct general_info {
    const char* service;
    std::string connection;
};

HWND g_general_page;

void usage() {
    std::fprintf(stderr, "usage: svcprops <service key name> [--caption TEXT] [--interact] "
                         "[--start-page N]\n");
}

bool parse(int argc, char** argv, options& opts) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--caption") == 0 && i + 1 < argc) {
            opts.caption = argv[++i];
        } else if (std::strcmp(arg, "--interact") == 0) {
            opts.interact = true;
        } else if (std::strcmp(arg, "--start-page") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long page = std::strtoul(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0') {
                return false;
            }
            opts.start_page = static_cast<UINT>(page);
        } else if (arg[0] == '-' && arg[1] == '-') {
            return false;
        } else if (opts.service == nullptr) {
            opts.service = arg;
        } else {
            return false;
        }
    }
    if (opts.service == nullptr) {
        return false;
    }
    if (opts.caption.empty()) {
        opts.caption = std::string(opts.service) + " Properties";
    }
    return true;
}

// "1, 0, 0, 5", read from the loaded library's own version block.
std::string library_version() {
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(GetModuleHandleA("svcsheet.dll"), path, MAX_PATH) == 0) {
        return "unknown";
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return "unknown";
    }
    std::string block(size, '\0');
    char* text = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                        reinterpret_cast<void**>(&text), &length) ||
        length == 0) {
        return "unknown";
    }
    return text;
}

std::string describe_error(DWORD code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "error " + std::to_string(code);
    }
    return message;
}

// There is no help file: the page shows what a help engine would have been asked for.
void show_help_request(const char* text) {
    if (g_general_page != nullptr) {
        SetDlgItemTextA(g_general_page, IDC_LAST_HELP, text);
    }
    std::printf("svcprops: %s\n", text);
    std::fflush(stdout);
}

INT_PTR CALLBACK general_page_proc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* sheet_page = reinterpret_cast<const PROPSHEETPAGEA*>(lparam);
        const auto* info = reinterpret_cast<const general_info*>(sheet_page->lParam);
        g_general_page = page;
        SetDlgItemTextA(page, IDC_KEY_NAME, info->service);
        SetDlgItemTextA(page, IDC_CONNECTION, info->connection.c_str());
        SetDlgItemTextA(page, IDC_LIBRARY_VERSION, library_version().c_str());
        return TRUE;
    }
    case WM_NOTIFY:
        // SetHasHelp gives this page a Help button too.
        if (reinterpret_cast<const NMHDR*>(lparam)->code == static_cast<UINT>(PSN_HELP)) {
            show_help_request("Last help request: the General page (this host has no help file)");
        }
        return FALSE;
    case WM_DESTROY:
        g_general_page = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

int WINAPI on_help(HWND, UINT command, DWORD context_id, DWORD) {
    char text[128];
    std::snprintf(text, sizeof text, "Last help request: %s, context id 0x%05lX",
                  command == HELP_CONTEXTPOPUP ? "HELP_CONTEXTPOPUP"
                  : command == HELP_CONTEXT    ? "HELP_CONTEXT"
                                               : "other command",
                  static_cast<unsigned long>(context_id));
    show_help_request(text);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    options opts;
    if (!parse(argc, argv, opts)) {
        usage();
        return 2;
    }

    general_info info{opts.service, "connected"};
    SetLastError(0);
    if (!InitServiceControl(opts.service)) {
        const DWORD error = GetLastError();
        // The same answer for a user refused some of the page's rights, who still sees the
        // service, and for one refused the service altogether: the page tells them apart.
        info.connection = error == ERROR_ACCESS_DENIED
                              ? "access denied: the page shows what this user may see and do"
                              : "not connected: " + describe_error(error);
        std::fprintf(stderr, "svcprops: service '%s': %s\n", opts.service, info.connection.c_str());
    }

    SetHasHelp();
    HINSTANCE self = GetModuleHandleA(nullptr);
    if (AddTabbedPageParam(self, MAKEINTRESOURCEA(IDD_GENERAL), general_page_proc,
                           reinterpret_cast<LPARAM>(&info)) < 0 ||
        AddServiceControlPage(opts.interact ? TRUE : FALSE, on_help) < 0) {
        std::fprintf(stderr, "svcprops: cannot create the sheet's pages\n");
        DeInitServiceControl();
        return 1;
    }

    const int result = DoDialog(nullptr, opts.caption.c_str(), opts.start_page);
    DeInitServiceControl();
    return result;
}
