# The release archive: cpack's ZIP generator packs the install tree, one archive per
# architecture (svcsheet-<version>-win32.zip, -win64.zip: one install tree and one CMake
# package each), with a SHA-256 sums file beside it. package-sign.cmake signs its PE
# files when asked (scripts/package --sign); package-normalize.cmake makes its bytes
# depend on the commit alone.
#
#   cpack --preset mingw32      (or scripts/package for both)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME svcsheet)
set(CPACK_PACKAGE_VENDOR "The svcsheet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-sign.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-normalize.cmake)
set(CPACK_SVCSHEET_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
