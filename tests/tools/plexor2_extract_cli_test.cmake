# Runs plexor2-extract as a user would and checks its output file, its
# last stdout line, its messages and its exit codes: the named files, standard
# input and output, LF line ends, the usage errors (which truncate nothing),
# the line limit, --help and --version.
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

# expect_run(CODE STDOUT_REGEX STDERR_REGEX [INPUT file] ARGS...)
function(expect_run expected_code expected_stdout expected_stderr)
    set(arguments ${ARGN})
    set(input)
    if(ARGV3 STREQUAL "INPUT")
        set(input INPUT_FILE "${ARGV4}")
        list(REMOVE_AT arguments 0 1)
    endif()
    execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${arguments} ${input}
        RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code EQUAL expected_code)
        message(FATAL_ERROR "plexor2-extract ${ARGN}: exit ${code}, expected ${expected_code}\n${out}\n${err}")
    endif()
    if(NOT out MATCHES "${expected_stdout}")
        message(FATAL_ERROR "plexor2-extract ${ARGN}: stdout '${out}' does not match '${expected_stdout}'")
    endif()
    if(NOT err MATCHES "${expected_stderr}")
        message(FATAL_ERROR "plexor2-extract ${ARGN}: stderr '${err}' does not match '${expected_stderr}'")
    endif()
    set(last_stdout "${out}" PARENT_SCOPE)
endfunction()

function(expect_file path expected_hex)
    file(READ "${path}" content HEX)
    if(NOT content STREQUAL expected_hex)
        message(FATAL_ERROR "${path}: unexpected bytes ${content}, expected ${expected_hex}")
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

# Without filter options every name is written; the window's first-start
# values (min 5, max 18, exclude "xyz-") drop EXAMPLE.COM, holding an X.
expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$"
    --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$" "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]  \\[0 Names\\]\n$" "^$"
    --min 5 --max 18 --exclude xyz- --line-limit 2000000 "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]  \\[1 Names\\]\n$" "^$"
    --layout gtld --mode nameservers "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
# A run that finds nothing in a file of another layout names that layout.
expect_run(0 "\\[7 Lines\\]  \\[0 Names\\]\n$"
    "^plexor2-extract: No names were found: the zone file looks like the layout .Com,Net,Edu Zone.; choose that zone type and run again.\n$"
    --layout se --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")

expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/missing.zone'\nNo such file or directory\n$"
    --layout gtld --mode domains "${WORK_DIR}/missing.zone" "${WORK_DIR}/out.txt")
expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/no-folder/out.txt'"
    --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/no-folder/out.txt")
if(EXISTS /dev/full)
    expect_run(1 "" "Error: Unable to write '/dev/full'\nNo space left on device\n$"
        --layout gtld --mode nameservers "${WORK_DIR}/sample.zone" /dev/full)
endif()

# Usage errors: exit 2, the reason and the usage, and the output is left as
# it was.
set(open_filters --min 1 --max 63 --exclude "#")
file(WRITE "${WORK_DIR}/keep.txt" "kept\n")
file(WRITE "${WORK_DIR}/other.zone" "$ORIGIN COM.\nALPHA NS NS1.HOST.NET.\n")
file(WRITE "${WORK_DIR}/bad.map" "# a map\nns*.example.net example\nlonely-pattern\n")
foreach(case
        "--jobs needs a whole number from 1 to 1024|--jobs;0"
        "unknown layout 'bad'|--layout;bad;--mode;domains"
        "--min needs a whole number, not '5x'|--layout;gtld;--mode;domains;--min;5x"
        "--line-limit needs a whole number|--layout;gtld;--mode;domains;--line-limit;10k"
        "unknown option '--colour'|--layout;gtld;--mode;domains;--colour"
        "--progress and --quiet exclude each other|--layout;gtld;--mode;domains;--progress;--quiet"
        "unknown count 'owner'|--layout;gtld;--mode;domains;--count-by;owner"
        "a count .--count-by. counts the domains of a domain run|--layout;gtld;--mode;nameservers;--count-by;server"
        "Provider map '${WORK_DIR}/bad.map', line 3: expected a host pattern and a provider|--layout;gtld;--mode;domains;--count-by;provider;--provider-map;${WORK_DIR}/bad.map"
        "Unable to read the provider map '${WORK_DIR}/no.map'|--layout;gtld;--mode;domains;--count-by;provider;--provider-map;${WORK_DIR}/no.map"
        "--count-by counts one ZONE, not several zones or a folder|--count-by;server;${WORK_DIR}/other.zone")
    string(FIND "${case}" "|" bar)
    string(SUBSTRING "${case}" 0 ${bar} reason)
    math(EXPR bar "${bar} + 1")
    string(SUBSTRING "${case}" ${bar} -1 parts)
    expect_run(2 "^$" "^plexor2-extract: ${reason}.*\nusage: plexor2-extract"
        ${parts} "${WORK_DIR}/sample.zone" "${WORK_DIR}/keep.txt")
endforeach()
expect_run(2 "^$" "needs a value\nusage:" --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/keep.txt" --max)
file(READ "${WORK_DIR}/keep.txt" kept)
if(NOT kept STREQUAL "kept\n")
    message(FATAL_ERROR "a usage error changed the output file: '${kept}'")
endif()

# A count by provider: the relative server NS1.EXAMPLE is ns1.example.com;
# the table goes to the output, the figures to standard error after the
# status line.
expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$"
    "^Domains counted: 2\nDomains on one provider: 1 \\(50.00%\\)\nProviders covering 50% of domains: 1\nProviders covering 90% of domains: 1\n$"
    --layout gtld --mode domains ${open_filters} --count-by provider "${WORK_DIR}/sample.zone" "${WORK_DIR}/count.txt")
file(READ "${WORK_DIR}/count.txt" counted)
if(NOT counted STREQUAL "example.com 2 100.00%\nexample.net 1 50.00%\n")
    message(FATAL_ERROR "unexpected count by provider: '${counted}'")
endif()
file(WRITE "${WORK_DIR}/join.map" "ns2.example.net example-group\nns1.example.com example-group\n")
expect_run(0 "\\[7 Lines\\]" "Domains on one provider: 2 \\(100.00%\\)"
    --layout gtld --mode domains ${open_filters} --count-by provider --provider-map "${WORK_DIR}/join.map"
    --format jsonl "${WORK_DIR}/sample.zone" "${WORK_DIR}/count.txt")
file(READ "${WORK_DIR}/count.txt" counted)
if(NOT counted STREQUAL "{\"provider\":\"example-group\",\"domains\":2,\"share\":100.00}\n")
    message(FATAL_ERROR "unexpected count with a provider map: '${counted}'")
endif()

# --min above --max runs, and says that nothing can pass.
expect_run(0 "\\[7 Lines\\]  \\[0 Names\\]\n$" "--min 9 is larger than --max 4: no domain name can pass"
    --layout gtld --mode domains --min 9 --max 4 "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")

# The output is never the zone file itself, also when the zone comes from
# standard input; the zone is left whole.
file(READ "${WORK_DIR}/sample.zone" zone_before HEX)
expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/sample.zone'\nThe output file is the zone file itself"
    --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/sample.zone")
expect_run(1 "^$" "The output file is the zone file itself"
    INPUT "${WORK_DIR}/sample.zone" --layout gtld --mode domains - "${WORK_DIR}/sample.zone")
expect_file("${WORK_DIR}/sample.zone" "${zone_before}")

# A file and a folder named outside the ANSI code page of a Western-European
# Windows, in a zone saved with a byte-order mark and CR LF line ends, as a
# Windows editor saves it; also read from standard input.
file(MAKE_DIRECTORY "${WORK_DIR}/dåta")
string(ASCII 239 187 191 byte_order_mark)
file(WRITE "${WORK_DIR}/dåta/зона-ä.zone" "${byte_order_mark}$ORIGIN example.\r\nfoo NS ns1.foo\r\nbar NS ns1.foo\r\n")
expect_run(0 "\\[3 Lines\\]  \\[2 Names\\]\n$" "^$"
    --layout master --mode domains ${open_filters} "${WORK_DIR}/dåta/зона-ä.zone" "${WORK_DIR}/dåta/имена.txt")
expect_file("${WORK_DIR}/dåta/имена.txt" "666f6f2e6578616d706c650d0a6261722e6578616d706c650d0a")
expect_run(0 "\\[3 Lines\\]  \\[2 Names\\]\n$" "^$"
    INPUT "${WORK_DIR}/dåta/зона-ä.zone" --layout master --mode domains ${open_filters} - "${WORK_DIR}/dåta/имена.txt")
expect_file("${WORK_DIR}/dåta/имена.txt" "666f6f2e6578616d706c650d0a6261722e6578616d706c650d0a")
expect_run(1 "^$" "Error: Unable to open '${WORK_DIR}/dåta/нет.zone'\nNo such file or directory\n$"
    --layout master --mode domains "${WORK_DIR}/dåta/нет.zone" "${WORK_DIR}/dåta/имена.txt")
# The older zone file of a comparison, named the same way.
file(WRITE "${WORK_DIR}/dåta/вчера.zone" "$ORIGIN example.\nfoo NS ns1.foo\n")
expect_run(0 "\\[5 Lines\\]  \\[1 Names\\]\n$" "^$"
    --layout master --mode domains ${open_filters} --new-since "${WORK_DIR}/dåta/вчера.zone"
    "${WORK_DIR}/dåta/зона-ä.zone" "${WORK_DIR}/dåta/имена.txt")
expect_file("${WORK_DIR}/dåta/имена.txt" "6261722e6578616d706c650d0a")

# LF line ends.
expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$"
    --layout gtld --mode domains ${open_filters} --lf "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_file("${WORK_DIR}/out.txt" "4558414d504c452e434f4d0a4558414d504c452d53484f502e434f4d0a")
# In append mode too, where each batch's last entry is held back and grown.
expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$"
    --layout gtld --mode domains ${open_filters} --append --lf "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
string(REPLACE "0d0a" "0a" wanted_lf "${wanted}")
expect_file("${WORK_DIR}/out.txt" "${wanted_lf}")

# Standard input, plain and gzip-compressed: the same names as from the file.
file(ARCHIVE_CREATE OUTPUT "${WORK_DIR}/sample.zone.gz" PATHS "${WORK_DIR}/sample.zone" FORMAT raw COMPRESSION GZip)
foreach(input sample.zone sample.zone.gz)
    file(REMOVE "${WORK_DIR}/out.txt")
    expect_run(0 "\\[7 Lines\\]  \\[2 Names\\]\n$" "^$"
        INPUT "${WORK_DIR}/${input}" --layout gtld --mode domains ${open_filters} - "${WORK_DIR}/out.txt")
    expect_file("${WORK_DIR}/out.txt" "4558414d504c452e434f4d0d0a4558414d504c452d53484f502e434f4d0d0a")
endforeach()

# Standard output holds only the names, byte for byte (read from a file:
# CMake turns CR LF into LF in captured output); the status line goes to
# stderr.
function(expect_stdout_bytes expected_hex expected_stderr input)
    set(redirect)
    if(input)
        set(redirect INPUT_FILE "${input}")
    endif()
    execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${ARGN} ${redirect} OUTPUT_FILE "${WORK_DIR}/stdout.bin"
        RESULT_VARIABLE code ERROR_VARIABLE err)
    if(NOT code EQUAL 0 OR NOT err MATCHES "${expected_stderr}")
        message(FATAL_ERROR "plexor2-extract ${ARGN}: exit ${code}, stderr '${err}'")
    endif()
    expect_file("${WORK_DIR}/stdout.bin" "${expected_hex}")
endfunction()
set(names_crlf "4558414d504c452e434f4d0d0a4558414d504c452d53484f502e434f4d0d0a")
set(names_lf "4558414d504c452e434f4d0a4558414d504c452d53484f502e434f4d0a")
set(status_only "^\\[7 Lines\\]  \\[2 Names\\]\n$")
expect_stdout_bytes("${names_crlf}" "${status_only}" ""
    --layout gtld --mode domains ${open_filters} "${WORK_DIR}/sample.zone" -)
expect_stdout_bytes("${names_lf}" "${status_only}" "${WORK_DIR}/sample.zone.gz"
    --layout gtld --mode domains ${open_filters} --lf - -)
expect_stdout_bytes("${names_lf}" "^$" ""
    --layout gtld --mode domains ${open_filters} --lf --quiet "${WORK_DIR}/sample.zone" -)

# --quiet: nothing but errors. --progress: the progress line also to a file,
# ended by a blanked line; without it nothing goes to a non-terminal.
expect_run(0 "^$" "^$" --quiet --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[7 Lines\\]" "^\r[ 0-9]*%  [0-9]+ lines  [0-9]+ names.*\r *\r$"
    --progress --layout gtld --mode domains "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
# Standard input redirected from a file has a size too: the percentage shows.
expect_run(0 "\\[7 Lines\\]" "^\r[ 0-9]*%  [0-9]+ lines  [0-9]+ names.*\r *\r$"
    INPUT "${WORK_DIR}/sample.zone" --progress --layout gtld --mode domains - "${WORK_DIR}/out.txt")

# No line limit.
expect_run(0 "\\[7 Lines\\]" "^$"
    --layout gtld --mode domains ${open_filters} --line-limit 0 "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")

# --help and --version.
expect_run(0 "^plexor2-extract ${VERSION}: .*usage: plexor2-extract.*Exit codes:.*Examples:" "^$" --help)
expect_run(0 "^plexor2-extract ${VERSION}\nkernel: (reference|sse2|avx2)\n$" "^$" --version)
# PLEXOR_KERNEL: a kernel by name; an unknown name leaves the best one in use,
# and says so on standard error.
set(ENV{PLEXOR_KERNEL} reference)
expect_run(0 "^plexor2-extract ${VERSION}\nkernel: reference\n$" "^$" --version)
set(ENV{PLEXOR_KERNEL} fastest)
expect_run(0 "\nkernel: (sse2|avx2|reference)\n$"
    "^plexor2-extract: PLEXOR_KERNEL=fastest: unknown kernel \\(reference, sse2 or avx2\\); using [a-z0-9]+\n$" --version)
expect_run(0 "\\[7 Lines\\]" "PLEXOR_KERNEL=fastest: unknown kernel"
    --layout gtld --mode domains ${open_filters} "${WORK_DIR}/sample.zone" "${WORK_DIR}/out.txt")
unset(ENV{PLEXOR_KERNEL})

# The line limit ends a run after the batch that reaches it: exit 3 and the
# note when lines were left, a plain completed run otherwise.
set(hosts "")
foreach(i RANGE 1 1500)
    string(APPEND hosts "H${i} A 192.0.2.1\n")
endforeach()
file(WRITE "${WORK_DIR}/hosts.zone" "${hosts}")
expect_run(3 "\\[1000 Lines\\]  \\[1000 Names\\]\n$"
    "^plexor2-extract: The run stopped at the line limit of 10 lines: the output holds the names found up to there\\."
    --layout gtld --mode nameservers --line-limit 10 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[1500 Lines\\]  \\[1500 Names\\]\n$" "^$"
    --layout gtld --mode nameservers --line-limit 1500 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(0 "\\[1500 Lines\\]  \\[1500 Names\\]\n$" "^$"
    --layout gtld --mode nameservers --line-limit 0 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")
expect_run(2 "^$" "usage"
    --layout gtld --mode nameservers --line-limit -1 "${WORK_DIR}/hosts.zone" "${WORK_DIR}/out.txt")

# Many zones: a folder stands for its zone files, each layout recognised; a
# file that is no zone is a failed row (exit 1), the others are read; the
# summary file has a row per zone.
set(zones "${WORK_DIR}/zones")
file(MAKE_DIRECTORY "${zones}/sub")
file(COPY_FILE "${WORK_DIR}/sample.zone" "${zones}/a.zone")
file(COPY_FILE "${WORK_DIR}/hosts.zone" "${zones}/b.zone")
file(WRITE "${zones}/.hidden" "not read\n")
expect_run(0 "\\[1507 Lines\\]  \\[2 Names\\]\n$" "^$" --summary "${WORK_DIR}/summary.tsv" --jobs 2 "${zones}" "${WORK_DIR}/all.txt")
file(READ "${WORK_DIR}/summary.tsv" summary)
if(NOT summary MATCHES "^file\tzone\tlayout\tlines\tnames\tseconds\tresult\n[^\n]*a.zone\tcom\tgtld\t7\t2\t[0-9.]+\tok\n[^\n]*b.zone\tb\tmaster\t1500\t0\t[0-9.]+\tok\n$")
    message(FATAL_ERROR "unexpected summary: ${summary}")
endif()
file(WRITE "${zones}/c.txt" "<html>nope</html>\n")
expect_run(1 "\\[1507 Lines\\]  \\[2 Names\\]\n$" "c.txt: failed: layout not recognised" "${zones}" "${WORK_DIR}/all.txt")
expect_file("${WORK_DIR}/all.txt" "4558414d504c452e434f4d0d0a4558414d504c452d53484f502e434f4d0d0a")
expect_run(3 "" "stopped at the line limit" --layout gtld --mode nameservers --line-limit 10 "${zones}/a.zone" "${zones}/b.zone" "${WORK_DIR}/all.txt")
expect_run(1 "" "missing.zone: failed: No such file or directory"
    "${zones}/a.zone" "${WORK_DIR}/missing.zone" "${WORK_DIR}/all.txt")
# One output per zone, named after the zone file; none for the failed zone.
expect_run(1 "" "c.txt: failed" --output-dir "${WORK_DIR}/each" "${zones}")
expect_file("${WORK_DIR}/each/a.zone" "4558414d504c452e434f4d0d0a4558414d504c452d53484f502e434f4d0d0a")
if(EXISTS "${WORK_DIR}/each/c.txt")
    message(FATAL_ERROR "a failed zone left its output")
endif()
# Bad inputs: clear errors, nothing overwritten.
file(MAKE_DIRECTORY "${WORK_DIR}/empty")
foreach(case
        "holds no zone file|${WORK_DIR}/empty;${WORK_DIR}/keep.txt"
        "twice|${zones}/a.zone;${zones}/a.zone;${WORK_DIR}/keep.txt"
        "inside|${zones};${zones}/sub/out.txt"
        "older folder|--new-since;${zones};${zones}/a.zone;${WORK_DIR}/keep.txt"
        "--summary: the output .* is the zone|--summary;${zones}/a.zone;${zones}/a.zone;${zones}/b.zone;${WORK_DIR}/keep.txt"
        "--summary names OUTPUT|--summary;${WORK_DIR}/keep.txt;${zones}/b.zone;${WORK_DIR}/keep.txt")
    string(FIND "${case}" "|" bar)
    string(SUBSTRING "${case}" 0 ${bar} reason)
    math(EXPR bar "${bar} + 1")
    string(SUBSTRING "${case}" ${bar} -1 parts)
    expect_run(2 "^$" "^plexor2-extract: [^\n]*${reason}.*\nusage: plexor2-extract" ${parts})
endforeach()
file(READ "${WORK_DIR}/keep.txt" kept)
file(READ "${zones}/a.zone" a_zone)
if(NOT kept STREQUAL "kept\n" OR EXISTS "${zones}/sub/out.txt" OR NOT a_zone MATCHES "^; sample zone")
    message(FATAL_ERROR "a refused run wrote an output")
endif()
if(NOT WIN32)
    expect_run(1 "^$" "^plexor2-extract: the output folder .* cannot be created"
        --output-dir "${WORK_DIR}/keep.txt/each" "${zones}/a.zone")
endif()
# Folder comparisons: a zone with no older file writes nothing.
file(MAKE_DIRECTORY "${WORK_DIR}/older")
file(WRITE "${WORK_DIR}/older/a.zone" "$ORIGIN COM.\nEXAMPLE NS NS1.EXAMPLE\n")
expect_run(0 "\\[9 Lines\\]  \\[1 Names\\]\n$" "^$" --summary "${WORK_DIR}/changes.tsv"
    --new-since "${WORK_DIR}/older" "${zones}/a.zone" "${zones}/b.zone" "${WORK_DIR}/new.txt")
expect_file("${WORK_DIR}/new.txt" "4558414d504c452d53484f502e434f4d0d0a")
file(READ "${WORK_DIR}/changes.tsv" summary)
if(NOT summary MATCHES "\tok\n[^\n]*b.zone\tb\tmaster\t\t\t\tno older file\n$")
    message(FATAL_ERROR "unexpected comparison summary: ${summary}")
endif()
