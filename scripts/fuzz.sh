#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, ASan + UBSan) and
# runs each one for a bounded time, starting from its committed seed corpus.
# Prints the executions each target reached. Any crash, sanitizer report or
# failed property stops the run with a failure; the input that caused it is
# kept in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 60 (or $FUZZ_SECONDS). TARGET names are
# those of fuzz/corpus/ (zone_line_reader, extraction_worker, master_file, kernels,
# integer_field, decipher_text, lookalike); all of them by default. New inputs that libFuzzer finds go
# to build/fuzz/corpus/<target>/, not into the committed seeds.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${FUZZ_SECONDS:-60}}"
shift || true
if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=(zone_line_reader extraction_worker master_file kernels integer_field decipher_text lookalike)
fi

scripts/install-deps.sh clang libclang-rt-14-dev

cmake --preset fuzz
cmake --build --preset fuzz --target $(printf 'fuzz_%s ' "${targets[@]}")

build=build/fuzz
mkdir -p "$build/artifacts" "$build/logs"
summary=()
status=0
for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$work"
    echo "== fuzz_$target: ${seconds} s =="
    # Larger inputs for the line reader and the worker, whose interesting
    # cases include long lines and many batches.
    max_len=4096
    case "$target" in
        zone_line_reader | extraction_worker) max_len=65536 ;;
    esac
    if "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
        tail -n 40 "$log"
    fi
    runs=$(grep -a -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    corpus=$(grep -a -o 'stat::new_units_added: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    summary+=("$(printf '%-20s %-6s %12s executions  %6s new inputs' "$target" "$result" "$runs" "$corpus")")
done

echo "== fuzz summary (${seconds} s per target) =="
printf '%s\n' "${summary[@]}"
exit "$status"
