// The texts the Service page sets at run time, in the language of its template.
#pragma once

#include <windows.h>

#include "service_page_ids.h"

namespace svcsheet {

// Read once per page, as Unicode, so that the timer tick looks nothing up and no character
// is lost to the ANSI code page.
struct page_texts {
    static constexpr int count = IDS_PAGE_TEXT_LAST - IDS_PAGE_TEXT_FIRST + 1;
    static constexpr int capacity = 64; // characters, with the terminator

    wchar_t text[count][capacity];

    // The text of a string id from IDS_PAGE_TEXT_FIRST to IDS_PAGE_TEXT_LAST.
    const wchar_t* of(int id) const noexcept { return text[id - IDS_PAGE_TEXT_FIRST]; }
};

// Fills texts from the string table of the language in which the loader finds the page's
// template for this thread, so that the page never shows two languages. Where that language
// lacks a text, it comes from English (United States).
void load_page_texts(HMODULE module, page_texts& texts) noexcept;

} // namespace svcsheet
