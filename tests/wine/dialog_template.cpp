// Reads a DLGTEMPLATE and its DLGITEMTEMPLATEs, as the dialog manager lays them out.
#include "dialog_template.h"

namespace test_support {
namespace {

std::wstring take_string(const WORD*& p) {
    std::wstring text;
    while (*p != 0) {
        text += static_cast<wchar_t>(*p++);
    }
    ++p;
    return text;
}

// A menu or class field: none (0), an ordinal (0xFFFF, value) or a name. Returns whether
// there is one; an ordinal's value goes to atom, a name to name.
bool take_name_or_ordinal(const WORD*& p, WORD& atom, std::wstring& name) {
    atom = 0;
    if (*p == 0) {
        ++p;
        return false;
    }
    if (*p == 0xFFFF) {
        atom = p[1];
        p += 2;
        return true;
    }
    name = take_string(p);
    return true;
}

} // namespace

dialog_template read_dialog_template(HMODULE module, WORD id, LANGID language) {
    dialog_template result;
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id), language);
    if (found == nullptr) {
        return result;
    }
    const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    if (base == nullptr) {
        return result;
    }
    const auto* dialog = reinterpret_cast<const DLGTEMPLATE*>(base);
    if (HIWORD(dialog->style) == 0xFFFF) {
        return result; // DLGTEMPLATEEX
    }
    result.header = dialog;
    const WORD* p = reinterpret_cast<const WORD*>(dialog + 1);
    WORD atom = 0;
    std::wstring name;
    result.has_menu = take_name_or_ordinal(p, atom, name);
    result.has_class = take_name_or_ordinal(p, atom, name);
    result.caption = take_string(p);
    if ((dialog->style & DS_SETFONT) != 0) {
        result.point_size = *p++;
        result.face = take_string(p);
    }
    for (int i = 0; i < dialog->cdit; ++i) {
        // Each item starts on a DWORD boundary.
        const auto offset = reinterpret_cast<const BYTE*>(p) - base;
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(base + ((offset + 3) & ~3));
        dialog_control control = {
            item->id, 0,       L"",      L"",     item->style, item->dwExtendedStyle,
            item->x,  item->y, item->cx, item->cy};
        p = reinterpret_cast<const WORD*>(item + 1);
        take_name_or_ordinal(p, control.class_atom, control.class_name);
        WORD text_atom = 0;
        take_name_or_ordinal(p, text_atom, control.text);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        result.controls.push_back(control);
    }
    result.read = true;
    return result;
}

} // namespace test_support
