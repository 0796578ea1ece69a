# shellcheck shell=bash
# Shared by bench/compare_master.sh and bench/compare_scale.sh: the tools under
# test, one timed run of a command, medians and the ratio lines.
#
# Environment:
#   RUNNER      the headless runner (default build/release/tools/plexor2-extract)
#   MAKE_ZONE   the zone generator (default build/release/tools/make_zone)
#   NO_BUILD=1  use RUNNER and MAKE_ZONE as they are, without building them

RUNNER=${RUNNER:-build/release/tools/plexor2-extract}
MAKE_ZONE=${MAKE_ZONE:-build/release/tools/make_zone}

BuildTools() {
    if [[ "${NO_BUILD:-0}" != 1 ]]; then
        cmake --preset release >/dev/null
        cmake --build --preset release --target plexor2-extract make_zone >/dev/null
    fi
    for tool in "$RUNNER" "$MAKE_ZONE"; do
        [[ -x "$tool" ]] || { echo "$0: no program at $tool" >&2; exit 1; }
    done
}

# The work folder, removed at the end, on an error and on Ctrl-C.
MakeWorkFolder() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/plexor-bench.XXXXXX")
    trap 'rm -rf "$WORK"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# Once COMMAND...: runs the command with its standard output sent to
# $WORK/stdout.txt and prints "<wall seconds> <peak RSS in KiB> <exit code>".
# The peak RSS is that of the largest process the command ran (for a
# pipeline under sh -c, its largest stage).
Once() {
    local start end code=0
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$WORK/rss.txt" "$@" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" || code=$?
    end=$(date +%s%N)
    awk -v ns=$((end - start)) -v rss="$(tail -n 1 "$WORK/rss.txt")" -v code=$code \
        'BEGIN { printf "%.4f %d %d\n", ns / 1e9, rss, code }'
}

Median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
Largest() { sort -g | tail -n 1; }

# Row NAME SECONDS RSS_KIB BYTES LINES
Row() {
    # The name goes through the environment: awk -v would expand its escapes.
    NAME="$1" awk -v s="$2" -v r="$3" -v b="$4" -v l="$5" 'BEGIN {
        printf "%-52s %9.3f s %8.0f MB/s %11.0f lines/s %8.1f MiB\n", ENVIRON["NAME"], s, b / s / 1e6, l / s, r / 1024 }'
}

# Ratio LABEL VALUE "<=" TARGET  or  Ratio LABEL VALUE ">=" TARGET
Ratio() {
    awk -v label="$1" -v value="$2" -v op="$3" -v target="$4" 'BEGIN {
        met = (op == "<=") ? (value <= target) : (value >= target)
        printf "%-44s %6.2f  (target %s %s) %s\n", label, value, op, target, met ? "met" : "MISSED" }'
}
