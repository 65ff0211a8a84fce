# Run by cpack on each archive it writes (CPACK_POST_BUILD_SCRIPTS), before the SHA-256
# sums: entries in name order, each with the time of the last commit (SOURCE_DATE_EPOCH
# when set), permissions 644 or 755 and no owner, so that the same commit gives the same
# bytes from any folder, user or umask.
find_program(strip_nondeterminism strip-nondeterminism)
if(NOT strip_nondeterminism)
    message(FATAL_ERROR "strip-nondeterminism not found: install the Debian package "
                        "'strip-nondeterminism' (scripts/bootstrap does this)")
endif()

set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
    execute_process(COMMAND git -C ${CPACK_SVCSHEET_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_result ERROR_QUIET)
    if(NOT git_result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "no commit time for the archive's entries: build from a git "
                            "clone, or set SOURCE_DATE_EPOCH")
    endif()
endif()

foreach(archive IN LISTS CPACK_PACKAGE_FILES)
    # A zip entry's time is local time: UTC, whatever the machine's zone.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${strip_nondeterminism} --type zip
                            --timestamp ${epoch} ${archive}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
