# Turns a manual page's scdoc source into troff:
#   cmake -DSCDOC=<scdoc> -DSOURCE=<page.scd> -DOUTPUT=<page.1> -P MakeManPage.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${SOURCE}" OUTPUT_FILE "${OUTPUT}.tmp"
    RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    file(REMOVE "${OUTPUT}.tmp")
    message(FATAL_ERROR "scdoc ${SOURCE} failed (${code}): ${err}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
