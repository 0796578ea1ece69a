#!/usr/bin/env bash
# Compares the command-line program plexor2-extract with grep and a mawk
# recipe on synthetic 2,000,000-line zones (as many lines as the default line
# limit lets a run read), all measured in the same run on the same files, and reports the
# program's peak memory for a short and a long zone.
#
#   bench/compare_tools.sh [RUNS]      (default 7 runs per command, median)
#
# Targets for a gTLD domain run without filters: the runner takes at most
# 0.5 x the time of `grep -c ' NS '`, is at least 8 x faster than the mawk
# recipe, and peaks at no more than 32 MiB whatever the zone's length.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}

scripts/install-deps.sh >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release --target plexor2-extract make_zone measure engine_bench >/dev/null

bin=build/release
work=$(mktemp -d "${TMPDIR:-/tmp}/plexor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$bin/tools/make_zone" --layout gtld --lines 2000000 "$work/gtld.zone"
"$bin/tools/make_zone" --layout se --lines 2000000 "$work/se.zone"
"$bin/tools/make_zone" --layout gtld --lines 200000 "$work/gtld-short.zone"
gzip -c "$work/gtld.zone" > "$work/gtld.zone.gz"

# Warm the page cache so every command reads from memory.
cat "$work"/*.zone "$work"/*.gz > /dev/null

measure() { "$bin/bench/measure" --runs "$runs" --stdout "$work/stdout.txt" -- "$@"; }
open_filters=(--min 0 --max 1000 --exclude "")

row() { # name seconds rss bytes lines
    awk -v n="$1" -v s="$2" -v r="$3" -v b="$4" -v l="$5" 'BEGIN {
        printf "%-44s %8.1f ms %9.0f MB/s %12.0f lines/s %8.1f MiB\n", n, s * 1000, b / s / 1e6, l / s, r / 1024 }'
}

echo "Synthetic zones: $(wc -c < "$work/gtld.zone") bytes (gTLD), $(wc -c < "$work/se.zone") bytes (.SE), 2,000,000 lines each; median of $runs runs"
echo
gtld_bytes=$(wc -c < "$work/gtld.zone")
se_bytes=$(wc -c < "$work/se.zone")
lines=2000000

# The three commands of the targets take turns, one run each per round, so
# that a machine whose speed drifts (a shared virtual machine) slows all of
# them alike; each gets the median of its rounds.
once() { "$bin/bench/measure" --runs 1 --stdout "$work/stdout.txt" -- "$@"; }
median_of() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
peak_of() { sort -g | tail -1; }
# in_turns LAYOUT ZONE GREP_PATTERN MAWK_RECIPE: the runner's domain run, grep
# -c and the mawk recipe on ZONE, one run each per round; prints the median
# time and peak RSS of each, in that order.
in_turns() {
    local rounds="$work/rounds.txt" column
    : > "$rounds"
    for _ in $(seq "$runs"); do
        read -r a ra _ < <(once "$bin/tools/plexor2-extract" --layout "$1" --mode domains "${open_filters[@]}" "$2" "$work/out.txt")
        read -r b rb _ < <(once env LC_ALL=C grep -c "$3" "$2")
        read -r c rc _ < <(once sh -c "LC_ALL=C mawk $4 '$2' | uniq")
        echo "$a $ra $b $rb $c $rc" >> "$rounds"
    done
    for column in 1 3 5; do
        echo "$(cut -d' ' -f$column "$rounds" | median_of) $(cut -d' ' -f$((column + 1)) "$rounds" | peak_of)"
    done | tr '\n' ' '
}
read -r t_run rss_run t_grep rss_grep t_mawk rss_mawk < <(in_turns gtld "$work/gtld.zone" ' NS ' "'\$2==\"NS\"{print \$1}'"; echo)

row "plexor2-extract gtld domains (no filters)" "$t_run" "$rss_run" "$gtld_bytes" "$lines"
row "LC_ALL=C grep -c ' NS '" "$t_grep" "$rss_grep" "$gtld_bytes" "$lines"
row "LC_ALL=C mawk '\$2==\"NS\"{print \$1}' | uniq" "$t_mawk" "$rss_mawk" "$gtld_bytes" "$lines"

read -r t v _ < <(measure "$bin/tools/plexor2-extract" --layout gtld --mode domains "$work/gtld.zone" "$work/out.txt")
row "plexor2-extract gtld domains (default filters)" "$t" "$v" "$gtld_bytes" "$lines"
read -r t v _ < <(measure "$bin/tools/plexor2-extract" --layout gtld --mode domains --append "${open_filters[@]}" "$work/gtld.zone" "$work/out.txt")
row "plexor2-extract gtld domains --append" "$t" "$v" "$gtld_bytes" "$lines"
read -r t v _ < <(measure "$bin/tools/plexor2-extract" --layout gtld --mode nameservers "$work/gtld.zone" "$work/out.txt")
row "plexor2-extract gtld nameservers" "$t" "$v" "$gtld_bytes" "$lines"
read -r t v _ < <(measure "$bin/tools/plexor2-extract" --layout gtld --mode domains "${open_filters[@]}" "$work/gtld.zone.gz" "$work/out.txt")
row "plexor2-extract gtld domains, gzip input" "$t" "$v" "$gtld_bytes" "$lines"
# The .SE layout against the same kind of one-liners: count its name-server
# lines, and print the domain of each with mawk.
read -r t_se rss_se t_se_grep rss_se_grep t_se_mawk rss_se_mawk < <(
    in_turns se "$work/se.zone" 'Name Server=' "-F= '/^- Name=/{n=\$2} /Name Server=/{print n}'"; echo)
row "plexor2-extract se domains (no filters)" "$t_se" "$rss_se" "$se_bytes" "$lines"
row "LC_ALL=C grep -c 'Name Server='" "$t_se_grep" "$rss_se_grep" "$se_bytes" "$lines"
row "LC_ALL=C mawk -F= '...{print n}' | uniq (.SE)" "$t_se_mawk" "$rss_se_mawk" "$se_bytes" "$lines"
read -r t v _ < <(measure "$bin/tools/plexor2-extract" --layout se --mode nameservers "$work/se.zone" "$work/out.txt")
row "plexor2-extract se nameservers" "$t" "$v" "$se_bytes" "$lines"
read -r t_short rss_short _ < <(measure "$bin/tools/plexor2-extract" --layout gtld --mode domains "${open_filters[@]}" "$work/gtld-short.zone" "$work/out.txt")

echo
awk -v se="$t_se" -v se_grep="$t_se_grep" -v se_mawk="$t_se_mawk" -v run="$t_run" -v grep="$t_grep" -v mawk="$t_mawk" -v rss="$rss_run" -v rss_short="$rss_short" 'BEGIN {
    ratio = run / grep; speedup = mawk / run
    timeMet = (ratio <= 0.5) ? "met" : "MISSED"
    speedMet = (speedup >= 8) ? "met" : "MISSED"
    memoryMet = ((rss <= 32 * 1024) && (rss - rss_short < 2048)) ? "met" : "MISSED"
    printf "runner / grep time:   %.2f  (target <= 0.50) %s\n", ratio, timeMet
    printf "mawk / runner time:   %.1f  (target >= 8)    %s\n", speedup, speedMet
    printf ".SE domains: runner / grep time %.2f, mawk / runner time %.1f (no target)\n", se / se_grep, se_mawk / se
    printf "peak RSS, 2,000,000 lines: %.1f MiB; 200,000 lines: %.1f MiB (target <= 32 MiB, independent of length) %s\n", rss / 1024, rss_short / 1024, memoryMet
}'
echo
echo "In-process throughput (Google Benchmark, zones in memory):"
"$bin/bench/engine_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^BM_'
