# The SDK: cmake --install puts the header, the DLL with its PDB, the MinGW and
# MSVC import libraries, a CMake package (find_package(svcsheet) -> svcsheet::svcsheet)
# and the README; cmake/package.cmake packs the same tree into the release archive.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(SVCSHEET_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/svcsheet)

install(TARGETS svcsheet EXPORT svcsheetTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The DLL names its PDB (svcsheet.pdb) for a debugger, which looks beside it.
install(FILES $<TARGET_FILE_DIR:svcsheet>/svcsheet.pdb DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/svcsheet.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/res/svcsheet.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Written beside the DLL by cmake/import-libs.cmake when llvm-dlltool is available.
install(FILES $<TARGET_FILE_DIR:svcsheet>/svcsheet.lib DESTINATION ${CMAKE_INSTALL_LIBDIR} OPTIONAL)

install(EXPORT svcsheetTargets NAMESPACE svcsheet:: DESTINATION ${SVCSHEET_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/svcsheetConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/svcsheetConfig.cmake
                              INSTALL_DESTINATION ${SVCSHEET_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/svcsheetConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/svcsheetConfig.cmake
              ${PROJECT_BINARY_DIR}/svcsheetConfigVersion.cmake
        DESTINATION ${SVCSHEET_CMAKE_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
