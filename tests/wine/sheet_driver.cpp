// Test support: sheet driver and import patching.
#include "sheet_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"

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

HWND find_sheet(const char* caption) {
    find_args args = {caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), match_sheet, reinterpret_cast<LPARAM>(&args));
    return args.found;
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

} // namespace

int run_sheet(const char* caption, UINT start_page, const std::function<void(HWND)>& script,
              HWND parent) {
    g_driver = {&script, caption, 0, 0, nullptr, false, false};
    g_driver.timer = SetTimer(nullptr, 0, 10, on_driver_timer);
    const int result = DoDialog(parent, caption, start_page);
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

import_patch::import_patch(const char* dll, const char* function, const void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA("svcsheet.dll"));
    if (base == nullptr) {
        return;
    }
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) != 0) {
                continue;
            }
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            DWORD old_protect = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protect);
            original_ = *slot;
            *slot = const_cast<void*>(replacement);
            VirtualProtect(slot, sizeof *slot, old_protect, &old_protect);
            slot_ = slot;
            return;
        }
    }
}

import_patch::~import_patch() {
    if (slot_ == nullptr) {
        return;
    }
    DWORD old_protect = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old_protect);
    *slot_ = original_;
    VirtualProtect(slot_, sizeof *slot_, old_protect, &old_protect);
}

} // namespace test_support
