// What the rest of the DLL needs from the library frame.
#pragma once

#include <windows.h>

namespace svcsheet {

// The DLL's own module handle, recorded at process attach.
HINSTANCE library_module() noexcept;

} // namespace svcsheet
