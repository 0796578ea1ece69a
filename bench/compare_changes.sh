#!/usr/bin/env bash
# Measures a comparison of two days of a zone (new and dropped names) against
# two plain runs of the same files and against the sort-and-comm pipeline,
# on two CZDS-form zones of about 18,000,000 lines one "day" apart
# (make_zone --next-day-of: about 0.1 % of the domains dropped, 0.1 % added,
# 0.5 % moved to other servers), plain and gzip, all measured in turns.
#
#   bench/compare_changes.sh [ROUNDS]      (default 5 rounds, medians)
#   LINES=6000000 bench/compare_changes.sh (another zone length)
#   RUNNER=path/to/runner NO_BUILD=1 bench/compare_changes.sh   (see bench/compare_common.sh)
#
# Both days list their domains in the same order, as a registry's files do,
# so the comparison takes its in-order way; a third file holds yesterday's
# domains (each with all its lines) in a random order, for the general way.
#
# Targets: a comparison takes at most 1.5 x the time of the two plain runs
# together, is at least 3 x faster than
#   comm -13 <(plexor2-extract ... OLD - | LC_ALL=C sort) <(plexor2-extract ... NEW - | LC_ALL=C sort)
# and gives the same names; its peak RSS is at most 32 bytes per distinct
# name held above that of a plain run.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
lines=${LINES:-18000000}
# shellcheck source=bench/compare_common.sh
source bench/compare_common.sh

BuildTools
MakeWorkFolder

old="$WORK/old.zone"
new="$WORK/new.zone"
"$MAKE_ZONE" --layout czds --lines "$lines" "$old"
"$MAKE_ZONE" --next-day-of "$old" --seed 2 "$new"
gzip -k "$old" "$new"
shuffled="$WORK/old-shuffled.zone"
# One line per owner's block, shuffled, then the lines again.
LC_ALL=C awk -F'\t' 'NR > 1 && $1 != owner { print block; block = "" }
    { block = block == "" ? $0 : block "\001" $0; owner = $1 } END { print block }' "$old" |
    shuf --random-source="$old" | tr '\001' '\n' >"$shuffled"
bytes=$(($(wc -c <"$old") + $(wc -c <"$new")))
gz_bytes=$(($(wc -c <"$old.gz") + $(wc -c <"$new.gz")))
both_lines=$(($(wc -l <"$old") + $(wc -l <"$new")))
cat "$old" "$new" "$old.gz" "$new.gz" "$shuffled" >/dev/null # page cache warm: every command reads from memory

run=("$RUNNER" --layout master --mode domains --min 0 --max 1000 --exclude "" --lf)
options='--layout master --mode domains --min 0 --max 1000 --exclude "" --lf --line-limit 0'
pipeline="LC_ALL=C comm -13 <('$RUNNER' $options '$old' - | LC_ALL=C sort) <('$RUNNER' $options '$new' - | LC_ALL=C sort) \
>'$WORK/comm-new.txt'"

echo "Two synthetic CZDS-form zones one day apart: $both_lines lines, $bytes bytes ($gz_bytes gzip);"
echo "$rounds rounds in turns, medians"
echo

: >"$WORK/rounds.txt"
for _ in $(seq "$rounds"); do
    read -r tn rn cn < <(Once "${run[@]}" --new-since "$old" "$new" "$WORK/new.txt")
    read -r td rd _ < <(Once "${run[@]}" --dropped-since "$old" "$new" "$WORK/dropped.txt")
    read -r tg rg _ < <(Once "${run[@]}" --new-since "$old.gz" "$new.gz" "$WORK/new-gz.txt")
    read -r p1 r1 _ < <(Once "${run[@]}" --line-limit 0 "$old" "$WORK/old-list.txt")
    read -r p2 r2 _ < <(Once "${run[@]}" --line-limit 0 "$new" "$WORK/new-list.txt")
    read -r g1 _ _ < <(Once "${run[@]}" --line-limit 0 "$old.gz" "$WORK/old-list-gz.txt")
    read -r g2 _ _ < <(Once "${run[@]}" --line-limit 0 "$new.gz" "$WORK/new-list-gz.txt")
    read -r tc rc _ < <(Once bash -c "$pipeline")
    read -r ts rs _ < <(Once "${run[@]}" --new-since "$shuffled" "$new" "$WORK/new-shuffled.txt")
    echo "$tn $rn $td $rd $tg $rg $(awk -v a="$p1" -v b="$p2" 'BEGIN { print a + b }') $r1 $r2" \
        "$(awk -v a="$g1" -v b="$g2" 'BEGIN { print a + b }') $tc $rc $cn $ts $rs" >>"$WORK/rounds.txt"
done
col() { cut -d' ' -f"$1" "$WORK/rounds.txt"; }
t_new=$(col 1 | Median); rss_new=$(col 2 | Largest)
t_dropped=$(col 3 | Median); rss_dropped=$(col 4 | Largest)
t_new_gz=$(col 5 | Median); rss_new_gz=$(col 6 | Largest)
t_plain=$(col 7 | Median); rss_plain=$( (col 8; col 9) | Largest)
t_plain_gz=$(col 10 | Median)
t_comm=$(col 11 | Median); rss_comm=$(col 12 | Largest)
code=$(col 13 | Largest)
t_shuffled=$(col 14 | Median); rss_shuffled=$(col 15 | Largest)

Row "comparison --new-since (plain)" "$t_new" "$rss_new" "$bytes" "$both_lines"
Row "comparison --dropped-since (plain)" "$t_dropped" "$rss_dropped" "$bytes" "$both_lines"
Row "comparison --new-since (gzip)" "$t_new_gz" "$rss_new_gz" "$gz_bytes" "$both_lines"
Row "comparison --new-since, OLDER in another order" "$t_shuffled" "$rss_shuffled" "$bytes" "$both_lines"
Row "two plain runs (plain)" "$t_plain" "$rss_plain" "$bytes" "$both_lines"
Row "two plain runs (gzip)" "$t_plain_gz" "$rss_plain" "$gz_bytes" "$both_lines"
Row "comm -13 <(runner | sort) <(runner | sort)" "$t_comm" "$rss_comm" "$bytes" "$both_lines"
((code == 0)) || echo "(the comparison exited with $code)"

# The same names as comm, as sets; new and dropped against the plain lists.
same=yes
LC_ALL=C sort "$WORK/new.txt" | cmp -s - "$WORK/comm-new.txt" || same=no
LC_ALL=C sort "$WORK/new-gz.txt" | cmp -s - "$WORK/comm-new.txt" || same=no
LC_ALL=C sort "$WORK/new-shuffled.txt" | cmp -s - "$WORK/comm-new.txt" || same=no
LC_ALL=C comm -23 <(LC_ALL=C sort "$WORK/old-list.txt") <(LC_ALL=C sort "$WORK/new-list.txt") >"$WORK/comm-dropped.txt"
LC_ALL=C sort "$WORK/dropped.txt" | cmp -s - "$WORK/comm-dropped.txt" || same=no
held=$(wc -l <"$WORK/old-list.txt")
echo
echo "new names: $(wc -l <"$WORK/new.txt"), dropped names: $(wc -l <"$WORK/dropped.txt"), names held: $held;" \
    "same names as comm: $same"
[[ $same == yes ]] || echo "WARNING: the comparison's names differ from comm's: its times are not those of a correct run"
per_name=$(awk -v a="$rss_new" -v b="$rss_plain" -v n="$held" 'BEGIN { print (a - b) * 1024 / n }')
echo "peak RSS above a plain run: $per_name bytes per name held;" \
    "at that rate a .com comparison (160,000,000 names) holds $(awk -v p="$per_name" 'BEGIN { printf "%.1f", p * 160e6 / 2^30 }') GiB"

echo
Ratio "comparison / two plain runs (plain)" "$(awk -v a="$t_new" -v b="$t_plain" 'BEGIN { print a / b }')" "<=" 1.5
Ratio "comparison / two plain runs (gzip)" "$(awk -v a="$t_new_gz" -v b="$t_plain_gz" 'BEGIN { print a / b }')" "<=" 1.5
Ratio "sort-and-comm pipeline / comparison" "$(awk -v a="$t_comm" -v b="$t_new" 'BEGIN { print a / b }')" ">=" 3
Ratio "other-order comparison / two plain runs" "$(awk -v a="$t_shuffled" -v b="$t_plain" 'BEGIN { print a / b }')" "<=" 1.5
Ratio "peak RSS above a plain run, bytes per name" "$per_name" "<=" 32
