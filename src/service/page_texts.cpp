// Loads the Service page's run-time texts from one language's string table.
#include "service/page_texts.h"

namespace svcsheet {
namespace {

constexpr WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
// RT_DIALOG and RT_STRING, for the wide calls.
const LPCWSTR dialog_type = MAKEINTRESOURCEW(5);
const LPCWSTR string_type = MAKEINTRESOURCEW(6);

struct template_search {
    HMODULE module;
    HRSRC picked;
    WORD language;
    bool found;
};

// The loader hands out one information block per language of a resource: the language whose
// block is the one FindResource picked is the template's.
BOOL CALLBACK match_language(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                             LONG_PTR param) {
    auto* search = reinterpret_cast<template_search*>(param);
    if (FindResourceExW(module, type, name, language) == search->picked) {
        search->language = language;
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// The language of the template the dialog manager loads: it asks FindResource, which
// follows the thread's UI language and falls back as the platform does.
WORD template_language(HMODULE module) {
    template_search search = {module, nullptr, english, false};
    search.picked = FindResourceW(module, MAKEINTRESOURCEW(IDD_SERVICE_PAGE), dialog_type);
    if (search.picked != nullptr) {
        EnumResourceLanguagesW(module, dialog_type, MAKEINTRESOURCEW(IDD_SERVICE_PAGE),
                               match_language, reinterpret_cast<LONG_PTR>(&search));
    }
    return search.found ? search.language : english;
}

// A string table block holds 16 counted strings: ids 16 * (block - 1) to 16 * block - 1.
bool copy_string(HMODULE module, WORD language, int id, wchar_t* out, int capacity) {
    HRSRC block = FindResourceExW(module, string_type, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (block == nullptr) {
        return false;
    }
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, block)));
    if (p == nullptr) {
        return false;
    }
    for (int skip = id % 16; skip > 0; --skip) {
        p += 1 + *p;
    }
    const int length = *p++;
    if (length == 0 || length >= capacity) {
        return false;
    }
    for (int i = 0; i < length; ++i) {
        out[i] = p[i];
    }
    out[length] = L'\0';
    return true;
}

} // namespace

void load_page_texts(HMODULE module, page_texts& texts) noexcept {
    const WORD language = template_language(module);
    for (int i = 0; i < page_texts::count; ++i) {
        const int id = IDS_PAGE_TEXT_FIRST + i;
        if (!copy_string(module, language, id, texts.text[i], page_texts::capacity) &&
            !copy_string(module, english, id, texts.text[i], page_texts::capacity)) {
            texts.text[i][0] = L'\0';
        }
    }
}

} // namespace svcsheet
