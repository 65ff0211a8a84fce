# The product: 32-bit Windows (i686), built with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SVCSHEET_TRIPLE i686-w64-mingw32)
set(SVCSHEET_PACKAGE_ARCH i686)
# The product is meant to load on Windows NT 4.0 and later.
set(SVCSHEET_WINDOWS_VERSION 4.0)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
