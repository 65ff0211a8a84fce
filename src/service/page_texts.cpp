// The Service page's run-time texts, in Unicode, from the library's string table.
#include "service/page_texts.h"

#include "service/connection.h"
#include "service_page_ids.h"
#include "sheet/sheet.h"

namespace svcsheet {

void load_page_texts(page_texts& texts) noexcept {
    HINSTANCE module = library_module();
    LoadStringW(module, IDS_NOT_INSTALLED, texts.not_installed, ARRAYSIZE(texts.not_installed));
    LoadStringW(module, IDS_ACCESS_DENIED, texts.access_denied, ARRAYSIZE(texts.access_denied));
}

const WCHAR* unconnected_text(const page_texts& texts) noexcept {
    return service_access_denied() ? texts.access_denied : texts.not_installed;
}

} // namespace svcsheet
