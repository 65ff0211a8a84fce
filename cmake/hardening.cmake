# The one list of the flags that make what ships hardened and debuggable, as binary
# analyzers (BinSkim's rules, named here) and Windows debuggers look for them. The DLL is
# compiled and linked by clang and lld (cmake/clang-launcher.sh), which write CodeView
# and a PDB; GNU ld cannot. The rest of the tree (tests, samples) stays with GCC: clang's
# i686 code and GCC's libstdc++ disagree on returning a class from a member function
# (std::string::substr), so GoogleTest built by clang crashes there.
#
#   compile   -fstack-protector-strong   cookies in functions with buffers (BA2011);
#                                        guard and failure in src/sheet/stack_guard.cpp
#             -g -gcodeview              CodeView debug information, for the PDB
#             -ffile-compilation-dir=.   and no build folder in it (nor, through
#                                        clang-launcher.sh, in the paths it records)
#   link      --dynamicbase              ASLR (BA2009)
#             --nxcompat                 DEP (BA2016)
#             --high-entropy-va          64-bit ASLR (BA2015), x86_64
#             --no-seh                   no SEH handlers (BA2018), i686
#             -cetcompat                 CET shadow-stack compatible (BA2025)
#             --pdb, -pdbaltpath:%_PDB%  the PDB beside the DLL, named in its CodeView
#                                        entry by its file name only
#             -pdbsourcepath:            the clone's place in the PDB: C:\svcsheet, the
#                                        build tree below it as in the clone
#             OS and subsystem version   lld's default is 6.0; GNU ld's was the oldest
#                                        Windows of the target (SVCSHEET_WINDOWS_VERSION)
#
# Control Flow Guard (BA2008) is not set: lld 14 and MinGW-w64 10 cannot emit it.
set(svcsheet_launcher ${PROJECT_SOURCE_DIR}/cmake/clang-launcher.sh ${SVCSHEET_CLANG}
    ${SVCSHEET_TRIPLE} ${SVCSHEET_GCC_DIR} ${PROJECT_SOURCE_DIR})

function(svcsheet_harden target)
    set_target_properties(${target} PROPERTIES C_COMPILER_LAUNCHER "${svcsheet_launcher}"
                                               CXX_COMPILER_LAUNCHER "${svcsheet_launcher}")
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong -g -gcodeview
                                     -ffile-compilation-dir=.>)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "SHARED_LIBRARY")
        return()
    endif()
    list(JOIN svcsheet_launcher " " launch_link)
    file(RELATIVE_PATH build_tree ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    set_target_properties(${target} PROPERTIES RULE_LAUNCH_LINK "${launch_link}")
    string(REPLACE "." ";" version "${SVCSHEET_WINDOWS_VERSION}")
    list(GET version 0 major)
    list(GET version 1 minor)
    target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat
        -Wl,-Xlink=-cetcompat -Wl,--pdb= -Wl,-Xlink=-pdbaltpath:%_PDB%
        -Wl,-Xlink=-pdbsourcepath:C:/svcsheet/${build_tree}
        -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
        -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor})
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
    else()
        target_link_options(${target} PRIVATE -Wl,--no-seh)
    endif()
endfunction()
