# The version block of svcsheet.dll takes its numbers from project(VERSION), the one
# place that also names the release archives: 1.0.0.5 -> 1,0,0,5 and "1, 0, 0, 5".
foreach(part MAJOR MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
        set(PROJECT_VERSION_${part} 0)
    endif()
endforeach()
set(SVCSHEET_VERSION_NUMBERS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
string(REPLACE "," ", " SVCSHEET_VERSION_TEXT "${SVCSHEET_VERSION_NUMBERS}")

set(svcsheet_version_dir ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${svcsheet_version_dir}/svcsheet_version.h @ONLY)
target_include_directories(svcsheet PRIVATE ${svcsheet_version_dir})
# windres reports no header dependencies: rebuild the resources when the version changes.
# Appended: src/CMakeLists.txt names the language files the script includes.
set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/svcsheet.rc DIRECTORY ${PROJECT_SOURCE_DIR}/src
             APPEND PROPERTY OBJECT_DEPENDS ${svcsheet_version_dir}/svcsheet_version.h)
