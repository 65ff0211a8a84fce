// Library entry point, the process-wide page table and the modal tabbed sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"
#include "sheet/help_map.h"
#include "sheet/sheet.h"

#include <cstddef>
#include <cstring>

// The public entry record and the platform-free one must stay interchangeable.
static_assert(sizeof(SVCSHEET_HELPMAP_ENTRY) == sizeof(svcsheet::help_map_entry));
static_assert(offsetof(SVCSHEET_HELPMAP_ENTRY, dwHelpContextId) ==
              offsetof(svcsheet::help_map_entry, help_context_id));

namespace {

// First-version sizes, so the sheet works with every common-controls version. The
// platform's *_V1_SIZE macros are not constant expressions, hence offsetof.
constexpr UINT page_v1_size =
    offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(PROPSHEETPAGEA::pcRefParent);
constexpr UINT header_v1_size =
    offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PROPSHEETHEADERA::pfnCallback);
#ifndef _WIN64
static_assert(page_v1_size == 40, "first-version page descriptor");
static_assert(header_v1_size == 40, "first-version sheet header");
#endif

constexpr int max_pages = 256;

struct sheet_state {
    HINSTANCE module;
    HPROPSHEETPAGE pages[max_pages]; // waiting for the next DoDialog
    int page_count;
    bool has_help;
};

sheet_state g_sheet;

int add_page(HINSTANCE instance, LPCSTR template_name, DLGPROC dialog_proc, LPARAM param) {
    if (g_sheet.page_count >= max_pages) {
        return -1;
    }
    // The sheet looks the template up only when it is shown, drops a page whose template
    // is missing, and a sheet left with no page ignores Cancel and Close. Refuse the page
    // now, while the caller still sees the failure.
    if (FindResourceA(instance, template_name, reinterpret_cast<LPCSTR>(RT_DIALOG)) == nullptr) {
        return -1;
    }
    PROPSHEETPAGEA page = {};
    page.dwSize = page_v1_size;
    page.dwFlags = g_sheet.has_help ? PSP_HASHELP : PSP_DEFAULT;
    page.hInstance = instance;
    page.pszTemplate = template_name;
    page.pfnDlgProc = dialog_proc;
    page.lParam = param;

    HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
    if (handle == nullptr) {
        return -1;
    }
    g_sheet.pages[g_sheet.page_count] = handle;
    return g_sheet.page_count++;
}

} // namespace

HINSTANCE svcsheet::library_module() noexcept {
    return g_sheet.module;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_sheet.module = module;
        InitCommonControls();
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved not null) the system closes the handles; closing them here
        // would call the service manager under the loader lock, which can hang the exit.
        if (reserved == nullptr) {
            DeInitServiceControl();
        }
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" void WINAPI SetHasHelp(void) {
    g_sheet.has_help = true;
}

extern "C" int WINAPI AddTabbedPage(HINSTANCE instance, LPCSTR template_name, DLGPROC dialog_proc) {
    return add_page(instance, template_name, dialog_proc, 0);
}

extern "C" int WINAPI AddTabbedPageParam(HINSTANCE instance, LPCSTR template_name,
                                         DLGPROC dialog_proc, LPARAM param) {
    return add_page(instance, template_name, dialog_proc, param);
}

extern "C" int WINAPI DoDialog(HWND parent, LPCSTR caption, UINT start_page) {
    // A sheet without pages cannot be closed by the user: it would hold the host's
    // thread for good. The platform's own failure value says nothing was shown.
    if (g_sheet.page_count == 0) {
        return -1;
    }
    // The sheet takes the pages waiting now and the table starts over before it shows: pages
    // added while it shows (from a page or a help callback, inside its message loop) wait
    // for the next sheet, and a DoDialog called meanwhile never gets this sheet's pages.
    HPROPSHEETPAGE pages[max_pages];
    const int count = g_sheet.page_count;
    std::memcpy(pages, g_sheet.pages, sizeof pages[0] * static_cast<std::size_t>(count));
    g_sheet.page_count = 0;

    // Wine's sheet destroys its pages only once its window exists; with a parent that is no
    // window it never does, and reports 0 as if cancelled. Such pages are never handed over:
    // they are destroyed here, once.
    if (parent != nullptr && !IsWindow(parent)) {
        for (int i = 0; i < count; ++i) {
            DestroyPropertySheetPage(pages[i]);
        }
        return -1;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = header_v1_size;
    header.dwFlags = g_sheet.has_help ? PSH_HASHELP : PSH_DEFAULT;
    header.hwndParent = parent;
    header.hInstance = g_sheet.module;
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(count);
    header.nStartPage = start_page;
    header.phpage = pages;
    // The sheet destroys the pages it was given.
    return static_cast<int>(PropertySheetA(&header));
}

extern "C" DWORD WINAPI LookupHelpMap(const SVCSHEET_HELPMAP_ENTRY* map, DWORD control_id) {
    return svcsheet::lookup_help_map(reinterpret_cast<const svcsheet::help_map_entry*>(map),
                                     control_id);
}
