// The texts the Service page sets at run time, read once per page from the library's string
// table.
#pragma once

#include <windows.h>

namespace svcsheet {

struct page_texts {
    WCHAR not_installed[64];
    WCHAR access_denied[64];
};

void load_page_texts(page_texts& texts) noexcept;

// The status text of a page without a connection: why there is none, as far as it is known.
[[nodiscard]] const WCHAR* unconnected_text(const page_texts& texts) noexcept;

} // namespace svcsheet
