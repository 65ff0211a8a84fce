# Run by cpack on the staged install tree (CPACK_PRE_BUILD_SCRIPTS), before it is
# zipped and summed: with CPACK_SVCSHEET_SIGN_CERT (a PKCS#12 file, given by
# scripts/package --sign), signs every PE file in it with osslsigncode, the password
# from SVCSHEET_SIGN_PASSWORD and, if set, an RFC 3161 timestamp from the server at
# SVCSHEET_SIGN_TIMESTAMP. Without it, nothing changes: the archive stays reproducible.
if(NOT CPACK_SVCSHEET_SIGN_CERT)
    return()
endif()
find_program(osslsigncode osslsigncode)
if(NOT osslsigncode)
    message(FATAL_ERROR "osslsigncode not found: install the Debian package 'osslsigncode' "
                        "(scripts/bootstrap does this)")
endif()
if(NOT EXISTS "${CPACK_SVCSHEET_SIGN_CERT}")
    message(FATAL_ERROR "no certificate at ${CPACK_SVCSHEET_SIGN_CERT}")
endif()

# The password goes to osslsigncode in a file of the staging area's parent, never on a
# command line that other users' ps can read.
set(password_file ${CPACK_TOPLEVEL_DIRECTORY}/sign-password)
file(WRITE ${password_file} "$ENV{SVCSHEET_SIGN_PASSWORD}")
file(CHMOD ${password_file} PERMISSIONS OWNER_READ OWNER_WRITE)
set(timestamp "")
if(NOT "$ENV{SVCSHEET_SIGN_TIMESTAMP}" STREQUAL "")
    set(timestamp -ts "$ENV{SVCSHEET_SIGN_TIMESTAMP}")
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT files)
set(signed 0)
foreach(file IN LISTS files)
    # A PE file starts with "MZ": the DLL, and any program or applet the tree ships.
    file(READ ${file} magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "4d5a")
        continue()
    endif()
    execute_process(COMMAND ${osslsigncode} sign -pkcs12 ${CPACK_SVCSHEET_SIGN_CERT}
                            -readpass ${password_file} -h sha256
                            -n "${CPACK_PACKAGE_NAME} ${CPACK_PACKAGE_VERSION}" ${timestamp}
                            -in ${file} -out ${file}.signed
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        file(REMOVE ${password_file} ${file}.signed)
        message(FATAL_ERROR "osslsigncode could not sign ${file}:\n${output}")
    endif()
    file(RENAME ${file}.signed ${file})
    math(EXPR signed "${signed} + 1")
    file(RELATIVE_PATH shown ${CPACK_TEMPORARY_DIRECTORY} ${file})
    message(STATUS "signed ${shown}")
endforeach()
file(REMOVE ${password_file})
if(signed EQUAL 0)
    message(FATAL_ERROR "no PE file to sign in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
