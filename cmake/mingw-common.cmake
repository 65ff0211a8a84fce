# Shared part of the MinGW-w64 toolchain files: finds the posix-thread compilers for
# SVCSHEET_TRIPLE, and clang and lld, which build the DLL itself (cmake/hardening.cmake),
# and fails with the Debian package name when one is missing.
set(CMAKE_SYSTEM_NAME Windows)

function(svcsheet_find_tool var name package)
    find_program(${var} NAMES ${name})
    if(NOT ${var})
        message(FATAL_ERROR "${name} not found: install the Debian package '${package}' "
                            "(scripts/bootstrap does this)")
    endif()
    set(${var} "${${var}}" PARENT_SCOPE)
endfunction()

svcsheet_find_tool(CMAKE_C_COMPILER ${SVCSHEET_TRIPLE}-gcc-posix gcc-mingw-w64-${SVCSHEET_PACKAGE_ARCH}-posix)
svcsheet_find_tool(CMAKE_CXX_COMPILER ${SVCSHEET_TRIPLE}-g++-posix g++-mingw-w64-${SVCSHEET_PACKAGE_ARCH}-posix)
svcsheet_find_tool(CMAKE_RC_COMPILER ${SVCSHEET_TRIPLE}-windres binutils-mingw-w64-${SVCSHEET_PACKAGE_ARCH})
svcsheet_find_tool(SVCSHEET_OBJDUMP ${SVCSHEET_TRIPLE}-objdump binutils-mingw-w64-${SVCSHEET_PACKAGE_ARCH})
svcsheet_find_tool(SVCSHEET_NM ${SVCSHEET_TRIPLE}-nm binutils-mingw-w64-${SVCSHEET_PACKAGE_ARCH})
svcsheet_find_tool(SVCSHEET_DLLTOOL ${SVCSHEET_TRIPLE}-dlltool binutils-mingw-w64-${SVCSHEET_PACKAGE_ARCH})
svcsheet_find_tool(SVCSHEET_CLANG clang clang)
# lld is what clang's -fuse-ld=lld runs.
svcsheet_find_tool(SVCSHEET_LLD ld.lld lld)
svcsheet_find_tool(SVCSHEET_LLVM_DLLTOOL llvm-dlltool llvm-14)
svcsheet_find_tool(SVCSHEET_LLVM_OBJCOPY llvm-objcopy llvm-14)
svcsheet_find_tool(SVCSHEET_LLVM_READOBJ llvm-readobj llvm-14)
svcsheet_find_tool(SVCSHEET_LLVM_PDBUTIL llvm-pdbutil llvm-14)
# GCC's own folder: libgcc, libstdc++ and their headers, for clang, which does not find
# it under Debian's "12-posix" name.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE SVCSHEET_GCC_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(SVCSHEET_GCC_DIR ${SVCSHEET_GCC_DIR} DIRECTORY)

set(CMAKE_FIND_ROOT_PATH /usr/${SVCSHEET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# BOTH, so that find_package also finds SDKs installed outside the MinGW root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
