# Makes the Debian package of the build with CPack, as scripts/package.sh
# does, and checks that it holds exactly the files of expected_files.cmake
# below /usr: plexor2-extract, its manual page, and the desktop program's
# files when it is built. Skipped, saying so, without dpkg-deb and
# dpkg-shlibdeps (Debian package dpkg-dev).
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/expected_files.cmake")
find_program(dpkg_deb dpkg-deb)
find_program(dpkg_shlibdeps dpkg-shlibdeps)
if(NOT dpkg_deb OR NOT dpkg_shlibdeps)
    message("SKIPPED: dpkg-deb or dpkg-shlibdeps not found; install the Debian package dpkg-dev")
    return()
endif()
cmake_path(GET CMAKE_COMMAND PARENT_PATH cmake_bin)
find_program(cpack cpack HINTS "${cmake_bin}" NO_DEFAULT_PATH)
if(NOT cpack)
    find_program(cpack cpack REQUIRED)
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${cpack}" -G DEB -C "${CONFIG}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB packages "${WORK_DIR}/plexor2_*.deb")
list(LENGTH packages count)
if(NOT code EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack -G DEB failed (${code}), ${count} packages:\n${out}${err}")
endif()

execute_process(COMMAND "${dpkg_deb}" --contents ${packages} RESULT_VARIABLE code OUTPUT_VARIABLE listing)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --contents ${packages} failed (${code})")
endif()
# Lines like "-rwxr-xr-x root/root 123 2026-01-01 00:00 ./usr/bin/plexor2-extract";
# folders (d...) are left out.
string(REPLACE "\n" ";" lines "${listing}")
set(packaged)
foreach(line IN LISTS lines)
    if(line MATCHES "^-.* \\./usr/(.+)$")
        list(APPEND packaged "${CMAKE_MATCH_1}")
    endif()
endforeach()
list(SORT packaged)
expect_files("packaged files" "${packaged}")
message(STATUS "package ${packages}: ${packaged}")
