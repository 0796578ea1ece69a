# Unpacks the Windows zip of plexor2-extract and checks what a user gets: the
# program, its manual and README.txt in one folder; a program that loads
# nothing but Windows' own DLLs (no MinGW run time, no zlib1.dll); and, run
# from the zip through EMULATOR (Wine), the sample zones' expected bytes.
#   cmake -DZIP=<zip> -DOBJDUMP=<objdump> -DEMULATOR=<wine-run> -DSAMPLES=<samples>
#         -DSAMPLE_TEST=<sample_zones_test.cmake> -DWORK_DIR=<dir> -P windows_zip_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${ZIP}" WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE code)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()

get_filename_component(name "${ZIP}" NAME_WLE)
file(GLOB_RECURSE files RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
list(SORT files)
set(expected "${name}/README.txt;${name}/plexor2-extract.exe;${name}/plexor2-extract.html")
if(NOT files STREQUAL expected)
    message(FATAL_ERROR "${ZIP} holds '${files}', expected '${expected}'")
endif()
set(folder "${WORK_DIR}/${name}")

file(READ "${folder}/plexor2-extract.html" manual)
foreach(wanted "plexor2-extract" "EXIT_STATUS" "--line-limit")
    string(FIND "${manual}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the manual in ${ZIP} lacks '${wanted}'")
    endif()
endforeach()
file(READ "${folder}/README.txt" readme HEX)
if(NOT readme MATCHES "0d0a")
    message(FATAL_ERROR "README.txt in ${ZIP} has no CR LF line ends")
endif()

# Only the DLLs every Windows has.
execute_process(COMMAND "${OBJDUMP}" -p "${folder}/plexor2-extract.exe" OUTPUT_VARIABLE headers RESULT_VARIABLE code)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT code EQUAL 0 OR NOT imports)
    message(FATAL_ERROR "cannot read the imports of plexor2-extract.exe")
endif()
foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|msvcrt|ucrtbase|advapi32|user32|shell32|ntdll|bcrypt|ws2_32|api-ms-win-.*)\\.dll$")
        message(FATAL_ERROR "plexor2-extract.exe needs ${dll}, which a bare Windows lacks")
    endif()
endforeach()

# The samples through the program from the zip.
set(RUNNER "${folder}/plexor2-extract.exe")
set(sample_work "${WORK_DIR}/samples")
foreach(cases_and_min "cases.txt;8" "master-cases.txt;12")
    list(GET cases_and_min 0 CASES)
    list(GET cases_and_min 1 MIN_CASES)
    set(WORK_DIR "${sample_work}-${CASES}")
    set(QUIET OFF)
    include("${SAMPLE_TEST}")
endforeach()
