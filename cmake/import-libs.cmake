# Writes the import libraries of svcsheet.dll; run with cmake -P after the DLL is linked.
#
# i686: the exports are plain (AddTabbedPage) while a caller's stdcall reference is
# decorated (_AddTabbedPage@12), which the linker's own import library cannot bind. The
# decorated names are read from the DLL's object files, and dlltool --kill-at writes an
# import library whose decorated symbols import the plain names.
# Both targets: an MSVC-style import library (svcsheet.lib) when llvm-dlltool exists.
#
# Variables: OBJECTS (the DLL's object files, separated by |), DEF, OUT_DIR, BITS (32 or
# 64), NM, DLLTOOL, LLVM_DLLTOOL (may be empty).
file(STRINGS ${DEF} def_lines)
set(names "")
set(in_exports FALSE)
foreach(line IN LISTS def_lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "EXPORTS")
        set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
        list(APPEND names ${CMAKE_MATCH_1})
    endif()
endforeach()

set(def_for_tools ${DEF})
if(BITS EQUAL 32)
    string(REPLACE "|" ";" objects "${OBJECTS}")
    list(FILTER objects INCLUDE REGEX "\\.(c|cpp)\\.obj$")
    execute_process(COMMAND ${NM} --defined-only ${objects} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    set(decorated_def "LIBRARY svcsheet.dll\nEXPORTS\n")
    foreach(name IN LISTS names)
        if(NOT symbols MATCHES " _${name}@([0-9]+)\n")
            message(FATAL_ERROR "no stdcall symbol _${name}@N in the DLL's objects (not WINAPI?)")
        endif()
        string(APPEND decorated_def "    ${name}@${CMAKE_MATCH_1}\n")
    endforeach()
    set(def_for_tools ${OUT_DIR}/svcsheet-i686.def)
    file(WRITE ${def_for_tools} "${decorated_def}")
    # dlltool names the library's members after the output path as given: relative, so
    # that the library is the same from any build folder.
    execute_process(COMMAND ${DLLTOOL} --kill-at --dllname svcsheet.dll --input-def ${def_for_tools}
                            --output-lib libsvcsheet.dll.a
                    WORKING_DIRECTORY ${OUT_DIR} COMMAND_ERROR_IS_FATAL ANY)
    set(machine i386)
else()
    set(machine i386:x86-64)
endif()

if(LLVM_DLLTOOL)
    execute_process(COMMAND ${LLVM_DLLTOOL} -m ${machine} -k -D svcsheet.dll -d ${def_for_tools}
                            -l ${OUT_DIR}/svcsheet.lib
                    COMMAND_ERROR_IS_FATAL ANY)
endif()
