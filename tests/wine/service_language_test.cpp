// The Service page in the user's language. CTest runs this program once per locale (LC_ALL,
// which Wine reads at process start, with the code page that goes with it); each run checks
// which language the page reads, that no character is lost, the fit at three DPIs and the
// access keys. The translations themselves live in res/lang/, not here.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "dialog_template.h"
#include "service_fixture.h"
#include "service_page_ids.h"
#include "sheet_driver.h"
#include "svcsheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

extern "C" LONG WINAPI GdiGetCharDimensions(HDC dc, LPTEXTMETRICW metrics, LONG* height);

using namespace test_support;

namespace {

// The locale Wine runs in, and the template whose language the page must read there.
struct language_case {
    const wchar_t* locale;
    LANGID reads;
};

constexpr LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr LANGID french = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
constexpr LANGID spanish = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN);
constexpr LANGID portuguese = MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);
constexpr LANGID simplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
constexpr LANGID traditional = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);

constexpr language_case language_cases[] = {
    {L"en-US", english},
    {L"de-DE", german},
    {L"de-AT", german},
    {L"de-CH", german},
    {L"fr-FR", french},
    {L"fr-CA", french},
    {L"fr-BE", french},
    {L"es-ES", spanish},
    {L"es-MX", spanish},
    {L"it-IT", MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN)},
    {L"pt-BR", portuguese},
    {L"pt-PT", portuguese},
    {L"ja-JP", MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)},
    {L"ko-KR", MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)},
    {L"ru-RU", MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA)},
    {L"zh-CN", simplified},
    {L"zh-SG", simplified},
    {L"zh-TW", traditional},
    {L"zh-HK", traditional},
    {L"zh-MO", traditional},
    {L"nl-NL", english}, // a language the page does not speak
};

// Where the access key follows the text in parentheses, "開始(&S)".
bool keys_in_parentheses(LANGID language) {
    const WORD primary = PRIMARYLANGID(language);
    return primary == LANG_JAPANESE || primary == LANG_KOREAN || primary == LANG_CHINESE;
}

std::string utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring wide_text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

HMODULE library() {
    return GetModuleHandleA("svcsheet.dll");
}

// The string of the language's own table, or "" where it has none.
std::wstring table_string(LANGID language, int id) {
    HRSRC block =
        FindResourceExW(library(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (block == nullptr) {
        return L"";
    }
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(library(), block)));
    for (int skip = id % 16; skip > 0; --skip) {
        p += 1 + *p;
    }
    return std::wstring(p + 1, *p);
}

// The access key of a text ('\0' for none) and whether the text has more than one.
wchar_t access_key(const std::wstring& text, bool& several, size_t& at) {
    wchar_t key = 0;
    several = false;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') {
            continue;
        }
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        several = several || key != 0;
        key = static_cast<wchar_t>(std::towupper(text[i + 1]));
        at = i;
    }
    return key;
}

// What a control needs beside its text, in pixels at dpi, as the button and static
// controls draw it: a push button's edges, a check box or radio button's box and the gap
// after it, a group box's indent before its caption.
int frame_width(const dialog_control& control, int dpi, HDC dc) {
    if (control.class_atom != 0x0080) {
        return 0; // static text
    }
    switch (control.style & BS_TYPEMASK) {
    case BS_AUTORADIOBUTTON:
    case BS_AUTOCHECKBOX: {
        INT zero = 0;
        GetCharWidth32W(dc, L'0', L'0', &zero);
        return 12 * dpi / 96 + 1 + zero / 2 + MulDiv(2, dpi, 96);
    }
    case BS_GROUPBOX:
        return MulDiv(16, dpi, 96);
    default:
        return MulDiv(8, dpi, 96);
    }
}

int text_width(HDC dc, const std::wstring& text) {
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

// Whether the selected font draws every character of text, rather than boxes.
bool has_glyphs(HDC dc, const std::wstring& text) {
    std::vector<WORD> glyphs(text.size() + 1);
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    for (size_t i = 0; i < text.size(); ++i) {
        if (glyphs[i] == 0xFFFF && text[i] != L'&') {
            return false;
        }
    }
    return true;
}

// The page's font at a DPI, made as the dialog manager makes it from the template.
HFONT template_font(const dialog_template& page, int dpi) {
    return CreateFontW(-MulDiv(page.point_size, dpi, 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, page.face.c_str());
}

const language_case* this_case() {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    for (const language_case& row : language_cases) {
        if (locale == std::wstring(row.locale)) {
            return &row;
        }
    }
    return nullptr;
}

struct page_seen {
    std::wstring tab;
    std::wstring status;
    std::map<WORD, std::wstring> texts;
    std::map<WORD, int> widths; // client widths in pixels
    std::wstring font_face;
    LONG font_height = 0;
    std::vector<std::wstring> sheet_buttons;
};

page_seen look_at_page(const std::wstring& stopped_text) {
    page_seen seen;
    show_service_page(TRUE, nullptr, [&](HWND sheet, HWND page) {
        pump_until([&] { return wide_text(GetDlgItem(page, IDC_STATUS_TEXT)) == stopped_text; },
                   5000);
        seen.status = wide_text(GetDlgItem(page, IDC_STATUS_TEXT));
        wchar_t tab[128] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = tab;
        item.cchTextMax = 128;
        SendMessageW(PropSheet_GetTabControl(sheet), TCM_GETITEMW, 0,
                     reinterpret_cast<LPARAM>(&item));
        seen.tab = tab;
        for (HWND child = GetWindow(page, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const WORD id = static_cast<WORD>(GetDlgCtrlID(child));
            RECT client = {};
            GetClientRect(child, &client);
            seen.texts[id] = wide_text(child);
            seen.widths[id] = client.right;
        }
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        seen.font_face = font.lfFaceName;
        seen.font_height = font.lfHeight;
        for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */}) {
            if (HWND button = GetDlgItem(sheet, id); button && IsWindowVisible(button)) {
                seen.sheet_buttons.push_back(wide_text(button));
            }
        }
        close_sheet(sheet);
    });
    return seen;
}

TEST(ServicePageLanguage, ReadsOneLanguageWholeFitsAtThreeDpisAndKeepsItsAccessKeys) {
    const language_case* row = this_case();
    ASSERT_NE(nullptr, row) << "no case for this locale: run under one of the table's";
    SCOPED_TRACE(utf8(row->locale));
    const dialog_template expected = read_dialog_template(library(), IDD_SERVICE_PAGE, row->reads);
    ASSERT_TRUE(expected.read) << "no template in language 0x" << std::hex << row->reads;

    std::wstring texts[IDS_PAGE_TEXT_LAST - IDS_PAGE_TEXT_FIRST + 1];
    for (int id = IDS_PAGE_TEXT_FIRST; id <= IDS_PAGE_TEXT_LAST; ++id) {
        texts[id - IDS_PAGE_TEXT_FIRST] = table_string(row->reads, id);
        EXPECT_FALSE(texts[id - IDS_PAGE_TEXT_FIRST].empty()) << "string " << id << " missing";
    }

    test_service stopped;
    ASSERT_TRUE(stopped.created()) << stopped.create_error();
    ASSERT_EQ(1, InitServiceControl(stopped.name().c_str()));
    SetHasHelp();
    const page_seen seen = look_at_page(texts[IDS_STATUS_STOPPED - IDS_PAGE_TEXT_FIRST]);
    DeInitServiceControl();

    // The template's language throughout, every character kept, and the state text from the
    // same language's table.
    EXPECT_EQ(utf8(expected.caption), utf8(seen.tab));
    EXPECT_EQ(utf8(texts[IDS_STATUS_STOPPED - IDS_PAGE_TEXT_FIRST]), utf8(seen.status));
    for (const dialog_control& control : expected.controls) {
        if (control.id != IDC_STATUS_TEXT) {
            EXPECT_EQ(utf8(control.text), utf8(seen.texts.at(control.id)))
                << "control " << control.id;
        }
    }

    // Access keys: the start-type group, the four actions and the check box each have one,
    // in the language's way, and no two controls of the sheet share one.
    std::map<wchar_t, std::string> owners;
    auto claim = [&](const std::wstring& text) {
        bool several = false;
        size_t at = 0;
        const wchar_t key = access_key(text, several, at);
        EXPECT_FALSE(several) << utf8(text);
        if (key != 0) {
            EXPECT_TRUE(owners.emplace(key, utf8(text)).second)
                << utf8(text) << " and " << owners[key] << " share a key";
        }
    };
    // The sheet's own buttons speak the user's language: where the page falls back to
    // English, their keys may meet the English page's.
    const bool speaks_users_language =
        PRIMARYLANGID(row->reads) == PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID()));
    if (speaks_users_language) {
        for (const std::wstring& text : seen.sheet_buttons) {
            claim(text);
        }
    }
    for (const dialog_control& control : expected.controls) {
        claim(control.text);
    }
    for (int id : {IDC_STARTUP_GROUP, IDC_START_SERVICE, IDC_CONTINUE_SERVICE, IDC_PAUSE_SERVICE,
                   IDC_STOP_SERVICE, IDC_INTERACT_WITH_DESKTOP}) {
        const std::wstring& text = seen.texts.at(static_cast<WORD>(id));
        bool several = false;
        size_t at = 0;
        const wchar_t key = access_key(text, several, at);
        EXPECT_NE(0, key) << "control " << id << " has no access key: " << utf8(text);
        if (key == 0) {
            continue;
        }
        if (keys_in_parentheses(row->reads)) {
            EXPECT_TRUE(at >= 1 &&
                        text.compare(at - 1, 4, std::wstring(L"(&") + text[at + 1] + L")") == 0 &&
                        key >= L'A' && key <= L'Z')
                << "not a Latin key in parentheses: " << utf8(text);
        } else {
            EXPECT_TRUE(std::iswalpha(text[at + 1]) && (at == 0 || text[at - 1] != L'('))
                << "not a letter of the text: " << utf8(text);
        }
    }

    // The fit. The dialog manager sizes the page in units of its font's average character;
    // at the process's own DPI the computed sizes must be the page's, which proves the
    // computation for the others.
    HDC screen = GetDC(nullptr);
    const int own_dpi = GetDeviceCaps(screen, LOGPIXELSY);
    // A run given a resolution measures the live page there, not at the default.
    if (const char* dpi = std::getenv("SVCSHEET_TEST_DPI")) {
        EXPECT_EQ(std::atoi(dpi), own_dpi) << "the prefix's LogPixels was not read";
    }
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        HFONT font = template_font(expected, dpi);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, font);
        LONG unit_height = 0;
        const LONG unit_width = GdiGetCharDimensions(dc, nullptr, &unit_height);
        ASSERT_GT(unit_width, 0);
        if (dpi == own_dpi) {
            LOGFONTW made = {};
            GetObjectW(font, sizeof made, &made);
            EXPECT_EQ(utf8(made.lfFaceName), utf8(seen.font_face));
            EXPECT_EQ(made.lfHeight, seen.font_height);
        }
        for (const dialog_control& control : expected.controls) {
            const int width = MulDiv(control.cx, unit_width, 4);
            if (dpi == own_dpi) {
                EXPECT_EQ(seen.widths.at(control.id), width) << "control " << control.id;
            }
            std::vector<std::wstring> shown = {control.text};
            if (control.id == IDC_STATUS_TEXT) {
                shown.assign(std::begin(texts), std::end(texts));
            }
            for (const std::wstring& text : shown) {
                EXPECT_TRUE(has_glyphs(dc, text)) << "drawn as boxes: " << utf8(text);
                const int needed = text_width(dc, text) + frame_width(control, dpi, dc);
                EXPECT_LE(needed, width) << "cut off: " << utf8(text);
            }
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(font);
    }
    ReleaseDC(nullptr, screen);
}

} // namespace
