// A dialog template read out of a module's resources, field by field as the dialog manager
// reads it, for tests that check what a page is built from.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

struct dialog_control {
    WORD id;
    WORD class_atom;         // 0 where the class is given by name
    std::wstring class_name; // where it is
    std::wstring text;
    DWORD style;
    DWORD ex_style;
    short x, y, cx, cy;
};

struct dialog_template {
    bool read = false;
    const DLGTEMPLATE* header = nullptr; // style, extended style, place and size
    bool has_menu = false;
    bool has_class = false;
    std::wstring caption;
    WORD point_size = 0; // with DS_SETFONT
    std::wstring face;
    std::vector<dialog_control> controls;
};

// The template of exactly that language (FindResourceEx, no fallback); read stays false
// where the module has none, and for an extended template.
dialog_template read_dialog_template(HMODULE module, WORD id, LANGID language);

} // namespace test_support
