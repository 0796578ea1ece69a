#!/usr/bin/env bash
# Many zones at once: has make_zone write a folder like a CZDS pull (one
# .com-like zone of LINES lines, 20 of 100,000 to 1,000,000, 500 of 20 to
# 2,000, each NAME.txt.gz) and the same folder a day later, then measures in
# turns, medians: the runner over the folder with --jobs 1 and --jobs 2; the
# same single-file runs one after another in a shell loop and two at a time
# through xargs -P2; the 500 small zones alone; the day's new names
# (--new-since yesterday's folder) beside the plain folder run; peak memory.
# A row whose option the runner lacks is skipped with a note.
#
#   bench/compare_many_zones.sh [ROUNDS]     (default 3)
#   LINES=N   the largest zone's length (default 6000000)
#
# Targets: --jobs 2 <= 0.6 x --jobs 1 (the largest zone alone bounds it from
# below), --jobs 2 <= the xargs loop, the 500 small zones < 1 s, the
# comparison <= 1.5 x the plain folder run.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
lines=${LINES:-6000000}
# shellcheck source=bench/compare_common.sh
source bench/compare_common.sh
BuildTools
MakeWorkFolder

old="$WORK/yesterday" new="$WORK/today" small="$WORK/small"
"$MAKE_ZONE" --layout czds-pull --lines "$lines" "$old"
"$MAKE_ZONE" --next-day-of "$old" "$new"
mkdir -p "$small"
for zone in "$new"/*.txt.gz; do
    (($(gzip -dc "$zone" | wc -l) <= 2000)) && ln -s "$zone" "$small/"
done
bytes=$(du -cb "$new"/*.txt.gz | tail -n 1 | cut -f1)
echo "CZDS-like folder: $(ls "$new" | wc -l) zones, $bytes gzip bytes, largest $lines lines; $rounds rounds, medians"
cat "$old"/* "$new"/* >/dev/null

# grep reads the whole help: with -q it would stop at the first match, and the
# runner, still writing, would die of SIGPIPE and fail the pipe (pipefail).
Has() { "$RUNNER" --help 2>&1 | grep -- "$1" >/dev/null; }
one=(--layout master --mode domains --line-limit 0 --quiet)
single="'$RUNNER' ${one[*]} \"\$0\" '$WORK/single/'\$(basename \"\$0\").txt"
mkdir -p "$WORK/single"
: >"$WORK/rounds.txt"
for _ in $(seq "$rounds"); do
    row=()
    if Has --jobs; then
        read -r a ra _ < <(Once "$RUNNER" "${one[@]}" --jobs 1 "$new" "$WORK/out1.txt"); row+=("$a" "$ra")
        read -r b rb _ < <(Once "$RUNNER" "${one[@]}" --jobs 2 "$new" "$WORK/out2.txt"); row+=("$b" "$rb")
        read -r s rs _ < <(Once "$RUNNER" "${one[@]}" --jobs 2 "$small" "$WORK/outs.txt"); row+=("$s" "$rs")
        read -r n rn _ < <(Once "$RUNNER" "${one[@]}" --jobs 2 --new-since "$old" "$new" "$WORK/outn.txt"); row+=("$n" "$rn")
    else
        row+=(0 0 0 0 0 0 0 0)
    fi
    read -r l rl _ < <(Once sh -c "for z in '$new'/*.txt.gz; do sh -c \"$single\" \"\$z\"; done"); row+=("$l" "$rl")
    read -r x rx _ < <(Once sh -c "ls -d '$new'/*.txt.gz | xargs -P2 -n1 sh -c \"$single\""); row+=("$x" "$rx")
    echo "${row[*]}" >>"$WORK/rounds.txt"
done
Field() { cut -d' ' -f"$1" "$WORK/rounds.txt"; }
t_loop=$(Field 9 | Median); t_xargs=$(Field 11 | Median)
Row "single-file runs in a shell loop" "$t_loop" "$(Field 10 | Largest)" "$bytes" 0
Row "single-file runs, xargs -P2 -n1" "$t_xargs" "$(Field 12 | Largest)" "$bytes" 0
if ! Has --jobs; then
    echo "(skipped: the runner has no --jobs; folder, small-zone and comparison rows need it)"
    exit 0
fi
t1=$(Field 1 | Median) t2=$(Field 3 | Median) ts=$(Field 5 | Median) tn=$(Field 7 | Median)
Row "runner --jobs 1 FOLDER" "$t1" "$(Field 2 | Largest)" "$bytes" 0
Row "runner --jobs 2 FOLDER" "$t2" "$(Field 4 | Largest)" "$bytes" 0
Row "runner --jobs 2, the 500 small zones" "$ts" "$(Field 6 | Largest)" "$bytes" 0
Row "runner --jobs 2 --new-since YESTERDAY FOLDER" "$tn" "$(Field 8 | Largest)" "$bytes" 0
read -r tc _ < <(Once "$RUNNER" "${one[@]}" "$new/com.txt.gz" "$WORK/outc.txt")
echo "the largest zone alone takes $tc s: --jobs 2 cannot end sooner"
echo
Ratio "--jobs 2 / --jobs 1 time" "$(awk -v a="$t2" -v b="$t1" 'BEGIN { print a / b }')" "<=" 0.6
Ratio "--jobs 2 / xargs -P2 time" "$(awk -v a="$t2" -v b="$t_xargs" 'BEGIN { print a / b }')" "<=" 1
Ratio "500 small zones (s)" "$ts" "<=" 1
Ratio "--new-since / plain folder time" "$(awk -v a="$tn" -v b="$t2" 'BEGIN { print a / b }')" "<=" 1.5
