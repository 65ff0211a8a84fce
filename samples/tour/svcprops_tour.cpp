// svcprops_tour: takes a running svcprops sheet through a short session — Stop,
// Start, Manual + Apply — from another process, and saves a screenshot of the
// Service page at each step as a BMP file.
//
//   svcprops_tour <sheet caption> <output directory>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Control ids of the Service page, as the library's template has them.
constexpr int status_text = 1000;
constexpr int manual_radio = 1002;
constexpr int start_button = 1005;
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

bool wait_for(HWND page, const char* wanted, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        if (status(page) == wanted) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

void click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

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

    const std::string path = g_out_dir + "\\" + name + ".bmp";
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: svcprops_tour <sheet caption> <output directory>\n");
        return 2;
    }
    g_out_dir = argv[2];
    const DWORD start = GetTickCount();
    while ((g_sheet = FindWindowA(nullptr, argv[1])) == nullptr) {
        if (GetTickCount() - start > 30000) {
            fail("the sheet did not appear");
        }
        Sleep(100);
    }
    PropSheet_SetCurSel(g_sheet, nullptr, service_page_index);
    HWND page = PropSheet_GetCurrentPageHwnd(g_sheet);
    if (page == nullptr || !wait_for(page, "Running", 15000)) {
        fail("the Service page does not show a running service");
    }
    screenshot("1-running");

    click(page, stop_button);
    if (!wait_for(page, "Stop Pending", 5000)) {
        fail("Stop did not lead to \"Stop Pending\"");
    }
    screenshot("2-stop-pending");
    if (!wait_for(page, "Stopped", 15000)) {
        fail("the service did not stop");
    }
    screenshot("3-stopped");

    click(page, start_button);
    if (!wait_for(page, "Running", 15000)) {
        fail("the service did not start again");
    }
    click(page, manual_radio);
    PropSheet_PressButton(g_sheet, PSBTN_APPLYNOW);
    // Apply greys out once the sheet has applied the change.
    const DWORD applying = GetTickCount();
    HWND apply = GetDlgItem(g_sheet, 0x3021); // the sheet's Apply button
    while (IsWindowEnabled(apply) && GetTickCount() - applying < 5000) {
        Sleep(20);
    }
    screenshot("4-manual-applied");

    PropSheet_PressButton(g_sheet, PSBTN_OK);
    return 0;
}
