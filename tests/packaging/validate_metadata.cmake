# Runs the freedesktop validator for one metadata file:
#   KIND=desktop   desktop-file-validate (package desktop-file-utils)
#   KIND=metainfo  appstreamcli validate --no-net (package appstream); also
#                  checks that the newest release listed is VERSION, so a
#                  version bump cannot ship stale release notes.
# Skipped, with a message saying what to install, when the validator is
# missing.
cmake_minimum_required(VERSION 3.25)
if(KIND STREQUAL "desktop")
    set(program desktop-file-validate)
    set(package desktop-file-utils)
    set(arguments "${FILE}")
elseif(KIND STREQUAL "metainfo")
    set(program appstreamcli)
    set(package appstream)
    set(arguments validate --no-net --pedantic "${FILE}")
else()
    message(FATAL_ERROR "KIND must be desktop or metainfo")
endif()

if(NOT EXISTS "${FILE}")
    message(FATAL_ERROR "${FILE} is missing")
endif()

if(KIND STREQUAL "metainfo")
    file(READ "${FILE}" metainfo)
    if(NOT metainfo MATCHES "<release version=\"([^\"]+)\"")
        message(FATAL_ERROR "${FILE} lists no release")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
        message(FATAL_ERROR "${FILE}: newest release is ${CMAKE_MATCH_1}, the project is ${VERSION}")
    endif()
endif()

find_program(validator ${program})
if(NOT validator)
    message("SKIPPED: ${program} not found; install the Debian package ${package} (scripts/install-deps.sh does)")
    return()
endif()
execute_process(COMMAND "${validator}" ${arguments}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
# desktop-file-validate exits 0 with hints only; errors and warnings fail.
if(NOT code EQUAL 0 OR "${out}${err}" MATCHES "(error|warning):")
    message(FATAL_ERROR "${program} ${FILE}: exit ${code}\n${out}${err}")
endif()
message(STATUS "${program}: ${FILE} is valid\n${out}${err}")
