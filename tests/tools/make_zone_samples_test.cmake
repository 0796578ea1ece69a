# make_zone still writes the committed sample zones byte for byte, with the
# arguments scripts/make-samples.sh gives it: every layout's generator is
# fixed by its seed, and the benchmarks and the samples' expected outputs
# rely on that.
#
#   cmake -DMAKER=make_zone -DSAMPLES=samples -DWORK_DIR=dir -P make_zone_samples_test.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

set(failures 0)
foreach(sample IN ITEMS
        "com-sample.zone|gtld|10000|--unique"
        "se-sample.zone|se|10000|--unique"
        "czds-sample.zone|czds|4000|"
        "axfr-sample.zone|axfr|3000|")
    string(REPLACE "|" ";" fields "${sample}")
    list(GET fields 0 name)
    list(GET fields 1 layout)
    list(GET fields 2 lines)
    list(GET fields 3 flag)
    set(made "${WORK_DIR}/${name}")
    execute_process(COMMAND "${MAKER}" --layout ${layout} --lines ${lines} --seed 2026 ${flag} "${made}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(SEND_ERROR "make_zone --layout ${layout} failed: ${status}")
        math(EXPR failures "${failures} + 1")
        continue()
    endif()
    file(SHA256 "${made}" made_hash)
    file(SHA256 "${SAMPLES}/${name}" sample_hash)
    if(NOT made_hash STREQUAL sample_hash)
        message(SEND_ERROR "make_zone --layout ${layout} --lines ${lines} --seed 2026 ${flag} no longer writes "
                           "samples/${name}")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} sample zone(s) differ")
endif()
