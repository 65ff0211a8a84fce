// Test support: drives a modal sheet from inside its own message loop (and, through
// import_patch.h, swaps svcsheet.dll's imports for doubles).
#pragma once

#include <windows.h>

#include "import_patch.h"

#include <functional>
#include <map>
#include <string>

namespace test_support {

// Runs DoDialog(parent, caption, start_page) and, once the sheet is up, calls
// script(sheet) from inside the sheet's message loop. The script should end the
// sheet (press OK, Cancel or Close); a sheet still open 20 s later is cancelled
// and reported by sheet_left_open(). Returns DoDialog's result.
int run_sheet(const char* caption, UINT start_page, const std::function<void(HWND)>& script,
              HWND parent = nullptr);

// As run_sheet, for a sheet that show() opens (a host's or an applet's) and whose result
// it returns.
int drive_sheet(const char* caption, const std::function<int()>& show,
                const std::function<void(HWND)>& script);

// Whether the last run_sheet had to cancel a sheet its script left open.
bool sheet_left_open();

// Dispatches this thread's messages for about the given time.
void pump_messages(DWORD milliseconds);

// Dispatches messages until done() holds or the time runs out; returns done().
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms);

std::string window_text(HWND window);

// This thread's property sheet with the caption (any sheet for null), or null.
HWND find_sheet(const char* caption);

// The texts of the sheet's tabs, in order.
std::string tab_texts(HWND sheet);

// While it lives, every page the library creates carries a release callback, so each
// destruction of a page, by a sheet or by the library, is counted. Pages are told apart by
// the lParam they were added with. One at a time.
class page_destructions {
public:
    page_destructions();
    page_destructions(const page_destructions&) = delete;
    page_destructions& operator=(const page_destructions&) = delete;

    bool applied() const { return patch_.applied(); }
    // How often the page added with this lParam was destroyed.
    int of(LPARAM page) const;

private:
    import_patch patch_;
};

} // namespace test_support
