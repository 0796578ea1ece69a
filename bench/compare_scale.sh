#!/usr/bin/env bash
# Whole registry zones: has make_zone write a standard master file in ICANN's
# zone-file form of about 18,000,000 lines (about 6 million domains, 1 GB) and
# its gzip form into a temporary folder (removed at the end, also on Ctrl-C),
# then measures side by side, in turns, medians over the rounds, every
# command's output going to a file or /dev/null:
#   the runner (--layout master --line-limit 0, domains, no filters) on the
#   plain and the gzip file; cat; LC_ALL=C grep -c $'\tns\t';
#   the recipe LC_ALL=C mawk -F'\t' '$4=="ns"{print $1}' | uniq;
#   igzip -dc FILE > /dev/null; gzip -dc FILE | the mawk recipe.
# Then the peak memory of a domain run at 1,000,000 and at 18,000,000 lines,
# the name-server mode's peak memory and number of distinct servers, and the
# two line layouts (gTLD, .SE) at the same length with --line-limit 0.
#
#   bench/compare_scale.sh [ROUNDS]          (default 3)
#   LINES=N          the zone's length (default 18000000)
#   RUNNER=path NO_BUILD=1 ...               (see bench/compare_common.sh)
#
# Then the runs that read servers (ServerRuns, bench/compare_common.sh) on a
# zone of the same length with 30 % of its domains on servers of their own
# (make_zone --own-servers 30: about 4.7 million distinct servers at
# 18,000,000 lines), and the same on its gzip form for the count by provider.
#
# Targets, as ratios in one run on a 2-core machine:
#   plain: runner <= 0.5 x grep's time, <= 1.6 x cat's, >= 8 x faster than mawk;
#   gzip:  runner <= 1.25 x igzip's time, >= 5 x faster than gzip -dc | mawk;
#   a domain run peaks at <= 32 MiB, the same at 1 M and at 18 M lines;
#   name-server, append and count runs <= 2 x the domain run of the file,
#   a count >= 5 x faster than awk | sort | uniq -c over the append list,
#   <= 64 bytes per distinct server.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
lines=${LINES:-18000000}
# shellcheck source=bench/compare_common.sh
source bench/compare_common.sh

scripts/install-deps.sh >/dev/null
BuildTools
MakeWorkFolder

zone="$WORK/czds.zone"
gz="$WORK/czds.zone.gz"
short="$WORK/czds-1m.zone"
read -r t_make _ < <(Once "$MAKE_ZONE" --layout czds --lines "$lines" "$zone")
bytes=$(wc -c <"$zone")
read -r t_gzip _ < <(Once sh -c "gzip -c '$zone' >'$gz'")
"$MAKE_ZONE" --layout czds --lines 1000000 "$short"
gz_bytes=$(wc -c <"$gz")
awk -v l="$lines" -v b="$bytes" -v t="$t_make" -v g="$gz_bytes" -v tg="$t_gzip" 'BEGIN {
    printf "CZDS-form zone: %d lines, %d bytes (make_zone: %.1f s, %.0f MB/s); gzip form: %d bytes (gzip -6: %.1f s)\n",
        l, b, t, b / t / 1e6, g, tg }'
echo "$rounds rounds in turns, medians; every command reads from the page cache"
cat "$zone" "$gz" "$short" >/dev/null

open_filters=(--min 0 --max 1000 --exclude "")
recipe="LC_ALL=C mawk -F'\t' '\$4==\"ns\"{print \$1}'"
: >"$WORK/rounds.txt"
for _ in $(seq "$rounds"); do
    read -r a ra ca < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$zone" "$WORK/out.txt")
    status_plain=$(tail -n 1 "$WORK/stdout.txt")
    read -r b rb cb < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$gz" "$WORK/out-gz.txt")
    status_gz=$(tail -n 1 "$WORK/stdout.txt")
    read -r c rc _ < <(Once sh -c "cat '$zone' >/dev/null")
    read -r d rd _ < <(Once env LC_ALL=C grep -c $'\tns\t' "$zone")
    read -r e re _ < <(Once sh -c "$recipe '$zone' | uniq >'$WORK/mawk.txt'")
    read -r f rf _ < <(Once sh -c "igzip -dc '$gz' >/dev/null")
    read -r g rg _ < <(Once sh -c "gzip -dc '$gz' | $recipe | uniq >'$WORK/mawk-gz.txt'")
    echo "$a $ra $b $rb $c $rc $d $rd $e $re $f $rf $g $rg $ca $cb" >>"$WORK/rounds.txt"
done
Field() { cut -d' ' -f"$1" "$WORK/rounds.txt"; }
t_run=$(Field 1 | Median); rss_run=$(Field 2 | Largest)
t_rungz=$(Field 3 | Median); rss_rungz=$(Field 4 | Largest)
t_cat=$(Field 5 | Median); rss_cat=$(Field 6 | Largest)
t_grep=$(Field 7 | Median); rss_grep=$(Field 8 | Largest)
t_mawk=$(Field 9 | Median); rss_mawk=$(Field 10 | Largest)
t_igzip=$(Field 11 | Median); rss_igzip=$(Field 12 | Largest)
t_gzmawk=$(Field 13 | Median); rss_gzmawk=$(Field 14 | Largest)
code_run=$(Field 15 | Largest); code_rungz=$(Field 16 | Largest)

echo
Row "runner master domains, plain" "$t_run" "$rss_run" "$bytes" "$lines"
Row "runner master domains, gzip" "$t_rungz" "$rss_rungz" "$bytes" "$lines"
Row "cat FILE > /dev/null" "$t_cat" "$rss_cat" "$bytes" "$lines"
Row "LC_ALL=C grep -c \$'\\tns\\t'" "$t_grep" "$rss_grep" "$bytes" "$lines"
Row "mawk recipe | uniq" "$t_mawk" "$rss_mawk" "$bytes" "$lines"
Row "igzip -dc FILE > /dev/null" "$t_igzip" "$rss_igzip" "$bytes" "$lines"
Row "gzip -dc FILE | mawk recipe | uniq" "$t_gzmawk" "$rss_gzmawk" "$bytes" "$lines"
echo "runner, plain: exit $code_run, $status_plain, $(grep -c '' "$WORK/out.txt" || true) entries"
echo "runner, gzip:  exit $code_rungz, $status_gz, $(grep -c '' "$WORK/out-gz.txt" || true) entries"
recipe_entries=$(grep -c '' "$WORK/mawk.txt" || true)
runner_entries=$(grep -c '' "$WORK/out.txt" || true)
echo "mawk recipe:   $recipe_entries entries (the apex's own name among them)"
if ((runner_entries + 1 != recipe_entries)); then
    echo "WARNING: the runner's list does not hold the recipe's domains: its times are not those of a correct run"
fi

read -r _ rss_short _ < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$short" "$WORK/out.txt")
read -r t_ns rss_ns code_ns < <(Once "$RUNNER" --layout master --mode nameservers --line-limit 0 "$zone" "$WORK/out.txt")
servers=$(grep -c '' "$WORK/out.txt" || true)
echo
Row "runner master nameservers, plain" "$t_ns" "$rss_ns" "$bytes" "$lines"
echo "runner master nameservers: exit $code_ns, $servers distinct servers, $(tail -n 1 "$WORK/stdout.txt")"
echo "peak RSS of a domain run: $(awk -v r="$rss_short" 'BEGIN { printf "%.1f", r / 1024 }') MiB at 1,000,000 lines, $(awk -v r="$rss_run" 'BEGIN { printf "%.1f", r / 1024 }') MiB at $lines lines"

echo
Ratio "plain: runner / grep time" "$(awk -v a="$t_run" -v b="$t_grep" 'BEGIN { print a / b }')" "<=" 0.5
Ratio "plain: runner / cat time" "$(awk -v a="$t_run" -v b="$t_cat" 'BEGIN { print a / b }')" "<=" 1.6
Ratio "plain: mawk recipe / runner time" "$(awk -v a="$t_mawk" -v b="$t_run" 'BEGIN { print a / b }')" ">=" 8
Ratio "gzip: runner / igzip time" "$(awk -v a="$t_rungz" -v b="$t_igzip" 'BEGIN { print a / b }')" "<=" 1.25
Ratio "gzip: (gzip -dc | mawk) / runner time" "$(awk -v a="$t_gzmawk" -v b="$t_rungz" 'BEGIN { print a / b }')" ">=" 5
Ratio "peak RSS of a domain run (MiB)" "$(awk -v r="$rss_run" 'BEGIN { print r / 1024 }')" "<=" 32
Ratio "peak RSS growth from 1 M lines (MiB)" "$(awk -v a="$rss_run" -v b="$rss_short" 'BEGIN { print (a - b) / 1024 }')" "<=" 2

# The runs that read servers, on a zone with servers as many as a real one's.
echo
rm -f "$zone"
own="$WORK/czds-own.zone"
"$MAKE_ZONE" --layout czds --lines "$lines" --own-servers 30 "$own"
ServerRuns "$own" "$rounds"
gzip -c "$own" >"$own.gz"
read -r t_dgz v_dgz _ < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$own.gz" "$WORK/out.txt")
read -r t_cgz v_cgz _ < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 --count-by provider "$own.gz" "$WORK/out.txt")
Row "runner master domains, gzip" "$t_dgz" "$v_dgz" "$(wc -c <"$own")" "$lines"
Row "runner --count-by provider, gzip" "$t_cgz" "$v_cgz" "$(wc -c <"$own")" "$lines"
Ratio "gzip: count by provider / domain run time" "$(awk -v a="$t_cgz" -v b="$t_dgz" 'BEGIN { print a / b }')" "<=" 2
rm -f "$own" "$own.gz"

# The two line layouts at the same length, one run each.
echo
rm -f "$gz" "$short"
for layout in gtld se; do
    other="$WORK/$layout.zone"
    "$MAKE_ZONE" --layout "$layout" --lines "$lines" "$other"
    other_bytes=$(wc -c <"$other")
    # The .SE layout counts only the records' first lines.
    if [[ $layout == se ]]; then counted=$(LC_ALL=C grep -c '^- Name=' "$other"); else counted=$lines; fi
    for mode in domains nameservers; do
        read -r t v code < <(Once "$RUNNER" --layout "$layout" --mode "$mode" "${open_filters[@]}" --line-limit 0 "$other" "$WORK/out.txt")
        status=$(tail -n 1 "$WORK/stdout.txt")
        read_lines=$(sed -n 's/^\[\([0-9]*\) Lines\].*/\1/p' <<<"$status")
        read_lines=${read_lines:-0}
        # Throughput over what the run read (the whole file once the limit is lifted).
        Row "runner $layout $mode, plain" "$t" "$v" "$((other_bytes * read_lines / counted))" \
            "$((lines * read_lines / counted))"
        echo "    exit $code, $status"
        if ((read_lines < counted)); then
            echo "    WARNING: stopped after $read_lines of $counted counted lines: --line-limit 0 did not lift the limit"
        fi
    done
    rm -f "$other"
done
