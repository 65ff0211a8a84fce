# The 64-bit twin (x86_64), built with MinGW-w64; its tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SVCSHEET_TRIPLE x86_64-w64-mingw32)
set(SVCSHEET_PACKAGE_ARCH x86-64)
# 64-bit Windows begins at 5.2 (Windows Server 2003, XP x64).
set(SVCSHEET_WINDOWS_VERSION 5.2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
