// svcprops_tour: takes a running svcprops sheet through a short session — Start if
// stopped, Stop, Start, Manual + Apply — from another process, as far as the service
// allows, and saves a screenshot of the Service page at each step as a BMP file. With
// --page it only shows the Service page as it opens, in one screenshot of the given name,
// and cancels the sheet: the demo takes one per language.
//
//   svcprops_tour <sheet caption> <output directory>
//   svcprops_tour --page <sheet caption> <output directory> <name>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

// Control ids of the Service page, as the library's template has them.
constexpr int status_text = 1000;
constexpr int manual_radio = 1002;
constexpr int start_button = 1005;
constexpr int continue_button = 1006;
constexpr int stop_button = 1008;
constexpr int service_page_index = 1;

std::string g_out_dir;
HWND g_sheet;

void fail(const char* what) {
    std::fprintf(stderr, "svcprops_tour: %s\n", what);
    if (g_sheet != nullptr) {
        PropSheet_PressButton(g_sheet, PSBTN_CANCEL);
    }
    std::exit(1);
}

std::string status(HWND page) {
    char text[64] = {};
    GetDlgItemTextA(page, status_text, text, sizeof text);
    return text;
}

void click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

int g_shots;
bool g_numbered = true;

// Copies the sheet's client area, as it is on the screen, into a 24-bit BMP file.
// (Under Xvfb there is no window manager, so the client area is all that is drawn.)
void screenshot(const char* name) {
    Sleep(250); // let the last change paint
    RECT rect;
    GetClientRect(g_sheet, &rect);
    MapWindowPoints(g_sheet, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();

    const DWORD stride = ((width * 3) + 3) & ~3u;
    const DWORD image_size = stride * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + image_size;
    info.bmiHeader.biSizeImage = image_size;

    const std::string path =
        g_out_dir + "\\" + (g_numbered ? std::to_string(++g_shots) + "-" : "") + name + ".bmp";
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, 1, image_size, out);
        std::fclose(out);
        std::printf("svcprops_tour: %s\n", path.c_str());
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Waits until the status text reads one of the texts given; returns it, or "" on time-out.
std::string wait_for_any(HWND page, std::initializer_list<const char*> wanted, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    do {
        const std::string now = status(page);
        for (const char* text : wanted) {
            if (now == text) {
                return now;
            }
        }
        Sleep(20);
    } while (GetTickCount() - start < timeout_ms);
    return {};
}

bool enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

void start_and_wait(HWND page) {
    click(page, start_button);
    if (wait_for_any(page, {"Running"}, 15000).empty()) {
        fail("the service did not start");
    }
}

void finish() {
    PropSheet_PressButton(g_sheet, PSBTN_OK);
}

} // namespace

int main(int argc, char** argv) {
    const bool page_only = argc == 5 && std::strcmp(argv[1], "--page") == 0;
    if (argc != 3 && !page_only) {
        std::fprintf(stderr, "usage: svcprops_tour <sheet caption> <output directory>\n"
                             "       svcprops_tour --page <sheet caption> <output directory> "
                             "<name>\n");
        return 2;
    }
    const char* caption = argv[page_only ? 2 : 1];
    g_out_dir = argv[page_only ? 3 : 2];
    const DWORD start = GetTickCount();
    while ((g_sheet = FindWindowA(nullptr, caption)) == nullptr) {
        if (GetTickCount() - start > 30000) {
            fail("the sheet did not appear");
        }
        Sleep(100);
    }
    PropSheet_SetCurSel(g_sheet, nullptr, service_page_index);
    HWND page = PropSheet_GetCurrentPageHwnd(g_sheet);
    if (page == nullptr) {
        fail("the sheet has no Service page");
    }
    if (page_only) {
        Sleep(500); // a few refreshes: the status text in the page's language
        g_numbered = false;
        screenshot(argv[4]);
        PropSheet_PressButton(g_sheet, PSBTN_CANCEL);
        return 0;
    }
    const std::string steady =
        wait_for_any(page, {"Running", "Stopped", "Paused", "Not Installed"}, 15000);
    if (steady.empty()) {
        fail("the Service page shows no steady state");
    }
    if (steady == "Not Installed") {
        screenshot("not-installed");
        finish();
        return 0;
    }
    if (steady == "Paused" && enabled(page, continue_button)) {
        click(page, continue_button);
        wait_for_any(page, {"Running"}, 15000);
    }
    if (steady == "Stopped") {
        screenshot("stopped");
        if (!enabled(page, start_button)) {
            finish(); // Disabled: nothing to start
            return 0;
        }
        start_and_wait(page);
    }
    screenshot("running");

    if (enabled(page, stop_button)) {
        click(page, stop_button);
        // A service that stops at once may skip the pending state between two ticks.
        if (wait_for_any(page, {"Stop Pending", "Stopped"}, 5000) == "Stop Pending") {
            screenshot("stop-pending");
        }
        if (wait_for_any(page, {"Stopped"}, 15000).empty()) {
            fail("the service did not stop");
        }
        screenshot("stopped");
        if (enabled(page, start_button)) {
            start_and_wait(page);
        }
    }

    click(page, manual_radio);
    PropSheet_PressButton(g_sheet, PSBTN_APPLYNOW);
    // Apply greys out once the sheet has applied the change.
    const DWORD applying = GetTickCount();
    HWND apply = GetDlgItem(g_sheet, 0x3021); // the sheet's Apply button
    while (IsWindowEnabled(apply) && GetTickCount() - applying < 5000) {
        Sleep(20);
    }
    screenshot("manual-applied");

    finish();
    return 0;
}
