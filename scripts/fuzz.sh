#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, ASan + UBSan) and
# runs each one for a bounded time, starting from its committed seed corpus.
# Prints the executions each target reached. Any crash, sanitizer report or
# failed property makes the run fail (after the other targets have run); the
# input that caused it is kept in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 60 (or $FUZZ_SECONDS). TARGET names are
# those of fuzz/corpus/ (zone_line_reader, extraction_worker, master_file,
# zone_changes, kernels, integer_field, decipher_text, lookalike); all of them by
# default.
#
# The committed seeds in fuzz/corpus/ are only read. New inputs that
# libFuzzer finds go to $FUZZ_WORK/<target>/ (default build/fuzz/corpus, kept
# from run to run); scripts/test.sh points it at a scratch folder.
# $FUZZ_JOBS targets run at the same time (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${FUZZ_SECONDS:-60}}"
shift || true
if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=(zone_line_reader extraction_worker master_file zone_changes kernels integer_field decipher_text lookalike)
fi
jobs="${FUZZ_JOBS:-1}"

# clang, and libFuzzer with the sanitizer runtimes (compiler-rt).
scripts/install-deps.sh clang libclang-rt-14-dev

cmake --preset fuzz
cmake --build --preset fuzz --target $(printf 'fuzz_%s ' "${targets[@]}")

build=build/fuzz
found="${FUZZ_WORK:-$build/corpus}"
mkdir -p "$build/artifacts" "$build/logs"

# Runs one target; its log goes to build/fuzz/logs/<target>.log and its
# summary line to <target>.summary beside it. Fails when the target failed.
RunTarget() {
    local target=$1
    local work="$found/$target"
    local log="$build/logs/$target.log"
    mkdir -p "$work"
    # Larger inputs for the line reader and the worker, whose interesting
    # cases include long lines and many batches.
    local max_len=4096
    case "$target" in
        zone_line_reader | extraction_worker) max_len=65536 ;;
    esac
    local result=ok
    if ! "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
        result=FAILED
    fi
    local runs corpus
    runs=$(grep -a -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    corpus=$(grep -a -o 'stat::new_units_added: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    printf '%-20s %-6s %12s executions  %6s new inputs\n' "$target" "$result" "$runs" "$corpus" \
        >"$build/logs/$target.summary"
    [ "$result" = ok ]
}

rm -f "$build"/logs/*.summary
status=0
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    echo "== fuzz_$target: ${seconds} s =="
    RunTarget "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done

for target in "${targets[@]}"; do
    if grep -q ' FAILED ' "$build/logs/$target.summary"; then
        echo "== fuzz_$target failed: the end of its log =="
        tail -n 40 "$build/logs/$target.log"
    fi
done
echo "== fuzz summary (${seconds} s per target) =="
cat $(printf "$build/logs/%s.summary " "${targets[@]}")
exit "$status"
