# Starts the real program with no display named, and with a display named
# that is not there; both times it must print why it cannot start and exit
# with code 1 (not abort with a core dump) and leave no settings behind.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/home" "${WORK_DIR}/config")

function(expect_no_display description)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=WAYLAND_DISPLAY --unset=DISPLAY
                "HOME=${WORK_DIR}/home" "XDG_CONFIG_HOME=${WORK_DIR}/config" "XDG_RUNTIME_DIR=${WORK_DIR}" ${ARGN}
                "${PROGRAM}"
        RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    if(NOT code STREQUAL "1")
        message(FATAL_ERROR "${description}: exit '${code}', expected 1\n${out}${err}")
    endif()
    if(NOT err MATCHES "Plexor2 needs a graphical desktop session, but no display could be opened")
        message(FATAL_ERROR "${description}: no clear message\n${err}")
    endif()
endfunction()

expect_no_display("no display named")
# A display number that no X server serves.
expect_no_display("absent display" "DISPLAY=:8731")

file(GLOB_RECURSE written "${WORK_DIR}/home/*" "${WORK_DIR}/config/*")
if(written)
    message(FATAL_ERROR "settings written without a window: ${written}")
endif()
