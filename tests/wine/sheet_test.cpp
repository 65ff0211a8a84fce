// The tabbed sheet against Wine's real common controls.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "svcsheet.h"
#include "sheet_driver.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <vector>

using test_support::import_patch;
using test_support::run_sheet;
using test_support::tab_texts;
using test_support::window_text;

namespace {

HINSTANCE self() {
    return GetModuleHandleA(nullptr);
}

// What each page saw at WM_INITDIALOG, in order of creation.
struct page_init {
    LPARAM param;
    DWORD size;
    DWORD flags;
};
std::vector<page_init> g_inits;

INT_PTR CALLBACK test_page_proc(HWND, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEA*>(lparam);
        g_inits.push_back({page->lParam, page->dwSize, page->dwFlags});
        return TRUE;
    }
    return FALSE;
}

LPCSTR tmpl(int id) {
    return MAKEINTRESOURCEA(id);
}

void press(HWND sheet, int button) {
    PropSheet_PressButton(sheet, button);
}

HWND help_button(HWND sheet) {
    return GetDlgItem(sheet, IDHELP);
}

int current_index(HWND sheet) {
    return PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
}

HPROPSHEETPAGE WINAPI failing_create(LPCPROPSHEETPAGEA) {
    return nullptr;
}

// Stand-in for CreatePropertySheetPageA that records the handles the library was given.
std::vector<HPROPSHEETPAGE> g_created_pages;
decltype(&CreatePropertySheetPageA) g_create_page;
HPROPSHEETPAGE WINAPI recording_create(LPCPROPSHEETPAGEA page) {
    HPROPSHEETPAGE handle = g_create_page(page);
    g_created_pages.push_back(handle);
    return handle;
}

// Stand-in for PropertySheetA that records the header it was handed.
PROPSHEETHEADERA g_header;
std::vector<HPROPSHEETPAGE> g_header_pages;
INT_PTR g_fake_result;
INT_PTR WINAPI recording_property_sheet(LPCPROPSHEETHEADERA header) {
    g_header = *header;
    g_header_pages.assign(header->phpage, header->phpage + header->nPages);
    return g_fake_result;
}

// A sheet shown from inside another sheet's message loop: if one with the caption comes up,
// its tabs are read and it is cancelled.
struct nested_sheet {
    const char* caption;
    bool shown;
    std::string tabs;
    UINT_PTR timer;
};
nested_sheet g_nested;

void CALLBACK on_nested_timer(HWND, UINT, UINT_PTR, DWORD) {
    HWND sheet = test_support::find_sheet(g_nested.caption);
    if (sheet == nullptr || g_nested.shown) {
        return;
    }
    g_nested.shown = true;
    g_nested.tabs = tab_texts(sheet);
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
}

int show_nested(HWND parent, const char* caption) {
    g_nested = {caption, false, "", SetTimer(nullptr, 0, 10, on_nested_timer)};
    const int result = DoDialog(parent, caption, 0);
    KillTimer(nullptr, g_nested.timer);
    return result;
}

} // namespace

TEST(TabbedSheet, AddsReturnConsecutiveIndicesAndAFailedAddLeavesNoGap) {
    EXPECT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc));
    EXPECT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc));
    {
        import_patch fail("comctl32.dll", "CreatePropertySheetPageA",
                          reinterpret_cast<const void*>(&failing_create));
        ASSERT_TRUE(fail.applied());
        EXPECT_EQ(-1, AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc));
    }
    EXPECT_EQ(2, AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc));

    std::string tabs;
    run_sheet("Three pages", 0, [&](HWND sheet) {
        tabs = tab_texts(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ("Alpha|Beta|Gamma", tabs);
    EXPECT_FALSE(test_support::sheet_left_open());
}

TEST(TabbedSheet, FullTableRefusesFurtherPagesUntilTheSheetIsShown) {
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(i, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc));
    }
    EXPECT_EQ(-1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc));
    EXPECT_EQ(-1, AddTabbedPageParam(self(), tmpl(IDD_TEST_BETA), test_page_proc, 1));

    int tab_count = 0;
    run_sheet("Full", 0, [&](HWND sheet) {
        tab_count = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet));
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(256, tab_count);
    EXPECT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc));
}

TEST(TabbedSheet, ParameterReachesInitDialogThroughThePageDescriptor) {
    g_inits.clear();
    ASSERT_EQ(0, AddTabbedPageParam(self(), tmpl(IDD_TEST_ALPHA), test_page_proc, 0x5EED));
    ASSERT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc));
    run_sheet("Params", 0, [&](HWND sheet) {
        PropSheet_SetCurSel(sheet, nullptr, 1); // creates the second page
        press(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(2u, g_inits.size());
    EXPECT_EQ(0x5EED, g_inits[0].param);
    EXPECT_EQ(0, g_inits[1].param); // AddTabbedPage passes 0
    for (const page_init& init : g_inits) {
        EXPECT_EQ(static_cast<DWORD>(PROPSHEETPAGEA_V1_SIZE), init.size);
        EXPECT_EQ(0u, init.flags & PSP_HASHELP);
    }
}

TEST(TabbedSheet, CaptionIsUsedVerbatimAndTheStartIndexSelectsThePage) {
    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc);
    AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc);
    AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc);
    std::string caption;
    int index = -1;
    run_sheet("Service Properties", 2, [&](HWND sheet) {
        caption = window_text(sheet);
        index = current_index(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ("Service Properties", caption);
    EXPECT_EQ(2, index);
}

TEST(TabbedSheet, NoHelpButtonWithoutSetHasHelp) {
    g_inits.clear();
    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc);
    bool help_visible = true;
    run_sheet("No help", 0, [&](HWND sheet) {
        HWND help = help_button(sheet);
        help_visible = help != nullptr && IsWindowVisible(help);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_FALSE(help_visible);
    ASSERT_EQ(1u, g_inits.size());
    EXPECT_EQ(0u, g_inits[0].flags & PSP_HASHELP);
}

TEST(TabbedSheet, HelpFlagsFollowSetHasHelpPageByPage) {
    g_inits.clear();
    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc); // before: no help
    SetHasHelp();
    AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc); // after: help

    bool visible = false, enabled_on_first = true, enabled_on_second = false;
    run_sheet("Help", 0, [&](HWND sheet) {
        HWND help = help_button(sheet);
        visible = help != nullptr && IsWindowVisible(help);
        enabled_on_first = IsWindowEnabled(help);
        PropSheet_SetCurSel(sheet, nullptr, 1);
        enabled_on_second = IsWindowEnabled(help);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_TRUE(visible);
    EXPECT_FALSE(enabled_on_first);
    EXPECT_TRUE(enabled_on_second);
    ASSERT_EQ(2u, g_inits.size());
    EXPECT_EQ(0u, g_inits[0].flags & PSP_HASHELP);
    EXPECT_EQ(static_cast<DWORD>(PSP_HASHELP), g_inits[1].flags & PSP_HASHELP);

    // The flag holds for every later sheet of the process.
    AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc);
    bool later_visible = false;
    run_sheet("Later", 0, [&](HWND sheet) {
        HWND help = help_button(sheet);
        later_visible = help != nullptr && IsWindowVisible(help) && IsWindowEnabled(help);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_TRUE(later_visible);
}

TEST(TabbedSheet, DoDialogReturnsTheSheetResultForOkAndCancel) {
    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc);
    const int cancelled = run_sheet("Cancel", 0, [](HWND sheet) { press(sheet, PSBTN_CANCEL); });
    EXPECT_EQ(0, cancelled);

    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc);
    const int accepted = run_sheet("OK", 0, [](HWND sheet) {
        // A page that reports a change makes OK return a positive result.
        PropSheet_Changed(sheet, PropSheet_GetCurrentPageHwnd(sheet));
        press(sheet, PSBTN_OK);
    });
    EXPECT_GT(accepted, 0);
    EXPECT_FALSE(test_support::sheet_left_open());
}

TEST(TabbedSheet, HeaderCarriesTheTableAndResultsPassThroughUnchanged) {
    g_created_pages.clear();
    {
        import_patch record("comctl32.dll", "CreatePropertySheetPageA",
                            reinterpret_cast<const void*>(&recording_create));
        ASSERT_TRUE(record.applied());
        g_create_page = record.original<decltype(&CreatePropertySheetPageA)>();
        ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc));
        ASSERT_EQ(1, AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc));
    }
    HWND parent =
        CreateWindowA("STATIC", "parent", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    const char* caption = "Recorded";
    {
        import_patch fake("comctl32.dll", "PropertySheetA",
                          reinterpret_cast<const void*>(&recording_property_sheet));
        ASSERT_TRUE(fake.applied());
        g_fake_result = 42;
        EXPECT_EQ(42, DoDialog(parent, caption, 7));
    }
    EXPECT_EQ(static_cast<DWORD>(PROPSHEETHEADERA_V1_SIZE), g_header.dwSize);
    EXPECT_EQ(0u, g_header.dwFlags);
    EXPECT_EQ(parent, g_header.hwndParent);
    EXPECT_EQ(GetModuleHandleA("svcsheet.dll"), g_header.hInstance);
    EXPECT_EQ(caption, g_header.pszCaption);
    EXPECT_EQ(7u, g_header.nStartPage); // beyond the pages: passed on unchanged
    EXPECT_EQ(g_created_pages, g_header_pages) << "the pages added, in the order added";
    EXPECT_EQ(nullptr, g_header.pfnCallback);
    DestroyWindow(parent);

    SetHasHelp();
    ASSERT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc));
    {
        import_patch fake("comctl32.dll", "PropertySheetA",
                          reinterpret_cast<const void*>(&recording_property_sheet));
        g_fake_result = -1;
        EXPECT_EQ(-1, DoDialog(nullptr, "Failed", 0));
    }
    EXPECT_EQ(static_cast<DWORD>(PSH_HASHELP), g_header.dwFlags);
    EXPECT_EQ(1u, g_header.nPages); // the table started over after the first sheet
}

TEST(TabbedSheet, ASecondSheetInTheSameProcessStartsFromAnEmptyTable) {
    AddTabbedPage(self(), tmpl(IDD_TEST_ALPHA), test_page_proc);
    AddTabbedPage(self(), tmpl(IDD_TEST_BETA), test_page_proc);
    std::string first, second;
    run_sheet("First", 0, [&](HWND sheet) {
        first = tab_texts(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(0, AddTabbedPage(self(), tmpl(IDD_TEST_GAMMA), test_page_proc));
    const int result = run_sheet("Second", 0, [&](HWND sheet) {
        second = tab_texts(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ("Alpha|Beta", first);
    EXPECT_EQ("Gamma", second);
    EXPECT_EQ(0, result);
}

// A page procedure or help callback runs inside the sheet's message loop and may call the
// library again: the sheet showing keeps its own pages, and no page goes to two sheets.
TEST(SheetReentrancy, NestedDoDialogShowsOnlyThePagesAddedSinceTheOuterSheetOpened) {
    test_support::page_destructions destructions;
    ASSERT_TRUE(destructions.applied());
    ASSERT_EQ(0, AddTabbedPageParam(self(), tmpl(IDD_TEST_ALPHA), test_page_proc, 1));
    ASSERT_EQ(1, AddTabbedPageParam(self(), tmpl(IDD_TEST_BETA), test_page_proc, 2));

    std::string outer_tabs, empty_tabs, inner_tabs;
    int empty_result = -2, added = -2, inner_result = -2, outer_index = -1;
    bool empty_shown = true;
    run_sheet("Outer", 0, [&](HWND sheet) {
        outer_tabs = tab_texts(sheet);
        empty_result = show_nested(sheet, "Nothing waiting");
        empty_shown = g_nested.shown;
        empty_tabs = g_nested.tabs;
        added = AddTabbedPageParam(self(), tmpl(IDD_TEST_GAMMA), test_page_proc, 3);
        inner_result = show_nested(sheet, "Inner");
        inner_tabs = g_nested.tabs;
        // Creates the outer sheet's second page only now: its handle must still be whole.
        PropSheet_SetCurSel(sheet, nullptr, 1);
        outer_index = current_index(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_FALSE(test_support::sheet_left_open());
    EXPECT_EQ("Alpha|Beta", outer_tabs);
    EXPECT_EQ(-1, empty_result);
    EXPECT_FALSE(empty_shown) << "a sheet came up with " << empty_tabs;
    EXPECT_EQ(0, added);
    EXPECT_EQ(0, inner_result);
    EXPECT_EQ("Gamma", inner_tabs);
    EXPECT_EQ(1, outer_index);
    for (LPARAM page : {1, 2, 3}) {
        EXPECT_EQ(1, destructions.of(page)) << "page " << page;
    }
}

TEST(SheetReentrancy, PageAddedWhileASheetShowsWaitsForTheNextSheet) {
    test_support::page_destructions destructions;
    ASSERT_TRUE(destructions.applied());
    ASSERT_EQ(0, AddTabbedPageParam(self(), tmpl(IDD_TEST_ALPHA), test_page_proc, 1));
    int added = -2;
    run_sheet("Showing", 0, [&](HWND sheet) {
        added = AddTabbedPageParam(self(), tmpl(IDD_TEST_BETA), test_page_proc, 2);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(0, added);
    EXPECT_EQ(0, destructions.of(2)) << "the page waiting was destroyed with the sheet";

    std::string next;
    const int result = run_sheet("Next", 0, [&](HWND sheet) {
        next = tab_texts(sheet);
        press(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ("Beta", next);
    EXPECT_EQ(1, destructions.of(1));
    EXPECT_EQ(1, destructions.of(2));
}

TEST(HelpMapExport, LooksUpThroughTheExportedRecord) {
    const SVCSHEET_HELPMAP_ENTRY map[] = {{1016, 0x2100B}, {1005, 0x21007}, {0, 0}};
    EXPECT_EQ(0x2100Bu, LookupHelpMap(map, 1016));
    EXPECT_EQ(0x21007u, LookupHelpMap(map, 1005));
    EXPECT_EQ(0u, LookupHelpMap(map, 1004));
    EXPECT_EQ(0u, LookupHelpMap(nullptr, 1016));
}
