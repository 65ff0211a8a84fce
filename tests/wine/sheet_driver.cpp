// Test support: sheet driver and import patching.
#include "sheet_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"

#include <algorithm>
#include <cstring>

namespace test_support {
namespace {

// A script that forgets to close its sheet must not hang the test.
constexpr UINT watchdog_ms = 20000;

struct driver_state {
    const std::function<void(HWND)>* script;
    const char* caption;
    UINT_PTR timer;
    UINT_PTR watchdog;
    HWND sheet;
    bool ran;
    bool left_open;
};
driver_state g_driver;

struct find_args {
    const char* caption;
    HWND found;
};

BOOL CALLBACK match_sheet(HWND window, LPARAM param) {
    auto* args = reinterpret_cast<find_args*>(param);
    char class_name[32] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::strcmp(class_name, "#32770") != 0) {
        return TRUE;
    }
    if (FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr) == nullptr) {
        return TRUE;
    }
    if (args->caption != nullptr && window_text(window) != args->caption) {
        return TRUE;
    }
    args->found = window;
    return FALSE;
}

void CALLBACK on_watchdog(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, g_driver.watchdog);
    g_driver.watchdog = 0;
    if (IsWindow(g_driver.sheet)) {
        g_driver.left_open = true;
        PropSheet_PressButton(g_driver.sheet, PSBTN_CANCEL);
    }
}

void CALLBACK on_driver_timer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver.ran) {
        return;
    }
    HWND sheet = find_sheet(g_driver.caption);
    if (sheet == nullptr) {
        return;
    }
    g_driver.ran = true;
    g_driver.sheet = sheet;
    KillTimer(nullptr, g_driver.timer);
    g_driver.watchdog = SetTimer(nullptr, 0, watchdog_ms, on_watchdog);
    (*g_driver.script)(sheet);
}

std::map<LPARAM, int> g_destructions;
decltype(&CreatePropertySheetPageA) g_create_page;

UINT CALLBACK count_release(HWND, UINT message, LPPROPSHEETPAGEA page) {
    if (message == PSPCB_RELEASE) {
        ++g_destructions[page->lParam];
    }
    return 1; // PSPCB_CREATE: let the page be created
}

HPROPSHEETPAGE WINAPI create_counted_page(LPCPROPSHEETPAGEA descriptor) {
    PROPSHEETPAGEA page = {};
    std::memcpy(&page, descriptor, std::min<std::size_t>(descriptor->dwSize, sizeof page));
    page.dwFlags |= PSP_USECALLBACK;
    page.pfnCallback = count_release;
    return g_create_page(&page);
}

} // namespace

HWND find_sheet(const char* caption) {
    find_args args = {caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), match_sheet, reinterpret_cast<LPARAM>(&args));
    return args.found;
}

page_destructions::page_destructions()
    : patch_("comctl32.dll", "CreatePropertySheetPageA",
             reinterpret_cast<const void*>(&create_counted_page)) {
    g_destructions.clear();
    g_create_page = patch_.original<decltype(&CreatePropertySheetPageA)>();
}

int page_destructions::of(LPARAM page) const {
    auto found = g_destructions.find(page);
    return found != g_destructions.end() ? found->second : 0;
}

int run_sheet(const char* caption, UINT start_page, const std::function<void(HWND)>& script,
              HWND parent) {
    return drive_sheet(
        caption, [&] { return DoDialog(parent, caption, start_page); }, script);
}

int drive_sheet(const char* caption, const std::function<int()>& show,
                const std::function<void(HWND)>& script) {
    g_driver = {&script, caption, 0, 0, nullptr, false, false};
    g_driver.timer = SetTimer(nullptr, 0, 10, on_driver_timer);
    const int result = show();
    if (!g_driver.ran) {
        KillTimer(nullptr, g_driver.timer);
    }
    if (g_driver.watchdog != 0) {
        KillTimer(nullptr, g_driver.watchdog);
    }
    return result;
}

bool sheet_left_open() {
    return g_driver.left_open;
}

void pump_messages(DWORD milliseconds) {
    pump_until([] { return false; }, milliseconds);
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (GetTickCount() - start >= timeout_ms) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

std::string window_text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string tab_texts(HWND sheet) {
    HWND tab = PropSheet_GetTabControl(sheet);
    std::string texts;
    const int count = TabCtrl_GetItemCount(tab);
    for (int i = 0; i < count; ++i) {
        char text[128] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        if (i > 0) {
            texts += "|";
        }
        texts += text;
    }
    return texts;
}

} // namespace test_support
