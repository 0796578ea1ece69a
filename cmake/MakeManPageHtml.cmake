# Renders a troff manual page as HTML with mandoc:
#   cmake -DMANDOC=<mandoc> -DPAGE=<page.1> -DOUTPUT=<page.html> -P MakeManPageHtml.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${MANDOC}" -T html "${PAGE}" OUTPUT_FILE "${OUTPUT}.tmp"
    RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    file(REMOVE "${OUTPUT}.tmp")
    message(FATAL_ERROR "mandoc ${PAGE} failed (${code}): ${err}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
