# Runs the headless runner as a user would and checks its output file, its
# last stdout line, its messages and its exit codes.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(WRITE "${WORK_DIR}/sample.zone"
"; sample zone
$ORIGIN COM.
COM. NS NS.EXAMPLE.NET.
EXAMPLE NS NS1.EXAMPLE
EXAMPLE NS NS2.EXAMPLE.NET.
EXAMPLE-SHOP NS NS1.EXAMPLE
NS1.EXAMPLE A 192.0.2.1
")

function(expect_run expected_code expected_stdout expected_stderr)
    execute_process(COMMAND "${RUNNER}" ${ARGN}
        RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code EQUAL expected_code)
        message(FATAL_ERROR "extract_run ${ARGN}: exit ${code}, expected ${expected_code}\n${out}\n${err}")
    endif()
    if(NOT out MATCHES "${expected_stdout}")
        message(FATAL_ERROR "extract_run ${ARGN}: stdout '${out}' does not match '${expected_stdout}'")
    endif()
    if(NOT err MATCHES "${expected_stderr}")
        message(FATAL_ERROR "extract_run ${ARGN}: stderr '${err}' does not match '${expected_stderr}'")
    endif()
endfunction()

expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$"
    --layout gtld --mode domains --min 1 --max 63 --exclude "#" --append
    "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
file(READ "${WORK_DIR}/out.txt" content HEX)
set(wanted "4558414d504c452e434f4d3a204e53312e4558414d504c452e434f4d2c4e53322e4558414d504c452e4e45540d0a4558414d504c452d53484f502e434f4d3a204e53312e4558414d504c452e434f4d0d0a")
if(NOT content STREQUAL wanted)
    message(FATAL_ERROR "unexpected output bytes: ${content}")
endif()

# Defaults are the first-start values: min 5, max 18, exclude "xyz-" (so
# EXAMPLE.COM, holding an X, is dropped).
expect_run(0 "\\[7 Lines\\]  \\[0 Names\\]\n$" "^$"
    --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]  \\[1 Names\\]\n$" "^$"
    --layout gtld --mode nameservers "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]  \\[0 Names\\]\n$" "^$"
    --layout se --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")

expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/missing.zone'"
    --layout gtld --mode domains "${WORK_DIR}/missing.zone" "${WORK_DIR}/out.txt")
expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/no-folder/out.txt'"
    --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/no-folder/out.txt")
if(EXISTS /dev/full)
    expect_run(1 "" "Error: Unable to write '/dev/full'"
        --layout gtld --mode nameservers "${WORK_DIR}/sample.zone" /dev/full)
endif()
expect_run(2 "^$" "usage" --layout gtld "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(2 "^$" "usage" --layout bad --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(2 "^$" "usage" --layout gtld --mode domains --min x "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")

# The line limit ends a run after the batch that reaches it: exit 3 and the
# note when lines were left, a plain completed run otherwise.
set(hosts "")
foreach(i RANGE 1 1500)
    string(APPEND hosts "H${i} A 192.0.2.1\n")
endforeach()
file(WRITE "${WORK_DIR}/hosts.zone" "${hosts}")
expect_run(3 "\\[1000 Lines\\]  \\[1000 Names\\]\n$"
    "^extract_run: The run stopped at the line limit of 10 lines: the output holds the names found up to there\\."
    --layout gtld --mode nameservers --line-limit 10 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[1500 Lines\\]  \\[1500 Names\\]\n$" "^$"
    --layout gtld --mode nameservers --line-limit 1500 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[1500 Lines\\]  \\[1500 Names\\]\n$" "^$"
    --layout gtld --mode nameservers --line-limit 0 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(2 "^$" "usage"
    --layout gtld --mode nameservers --line-limit -1 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
