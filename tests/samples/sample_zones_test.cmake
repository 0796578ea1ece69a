# Runs plexor2-extract on every case of a cases file (CASES, in SAMPLES) and
# compares its output file byte for byte with the expected file. Also checks
# that the final status text counts as many names as the output has lines.
# With QUIET set, the program must print nothing on stderr either: the
# standard master-file samples are well formed, so no record of theirs may be
# reported unreadable. EMULATOR, when set, runs the program (Wine for the
# Windows build).
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

file(STRINGS "${SAMPLES}/${CASES}" cases ENCODING UTF-8)
set(checked 0)
set(failures "")
foreach(case IN LISTS cases)
    if(case MATCHES "^[ \t]*(#|$)")
        continue()
    endif()
    separate_arguments(words UNIX_COMMAND "${case}")
    list(POP_FRONT words expected zone)
    set(output "${WORK_DIR}/${checked}-${expected}")
    execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${words} "${SAMPLES}/${zone}" "${output}"
        RESULT_VARIABLE code OUTPUT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 120)
    math(EXPR checked "${checked} + 1")
    if(NOT code EQUAL 0)
        string(APPEND failures "${zone} -> ${expected}: exit ${code}: ${errors}\n")
        continue()
    endif()
    if(QUIET AND NOT errors STREQUAL "")
        string(APPEND failures "${zone} -> ${expected}: unexpected notes: ${errors}\n")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${output}" "${SAMPLES}/expected/${expected}"
        RESULT_VARIABLE different)
    if(different)
        string(APPEND failures "${zone} -> ${expected}: output differs (see ${output})\n")
        continue()
    endif()
    # The status counts the entries, one a line (a table's header line is
    # none).
    file(STRINGS "${output}" entries ENCODING UTF-8)
    list(LENGTH entries lines)
    if(words MATCHES "--format;(tsv)")
        math(EXPR lines "${lines} - 1")
    endif()
    if(NOT status MATCHES "^\\[[0-9]+ Lines\\]  \\[${lines} Names\\]\n$")
        string(APPEND failures "${zone} -> ${expected}: status '${status}' does not count ${lines} names\n")
    endif()
endforeach()

if(checked LESS MIN_CASES)
    string(APPEND failures "only ${checked} cases in ${SAMPLES}/${CASES}\n")
endif()
if(failures)
    message(FATAL_ERROR "sample zones (${CASES}):\n${failures}")
endif()
message(STATUS "sample zones (${CASES}): ${checked} cases as expected")
