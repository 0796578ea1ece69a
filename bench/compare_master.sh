#!/usr/bin/env bash
# Compares the headless runner on a 2,000,000-line standard master file in
# ICANN's zone-file form (from make_zone --layout czds) with grep and a mawk
# recipe, all measured in turns on the same file, and reports the runner's
# peak memory for a short and a long zone.
#
#   bench/compare_master.sh [ROUNDS]      (default 7 rounds, medians)
#   RUNNER=path/to/runner NO_BUILD=1 bench/compare_master.sh   (see bench/compare_common.sh)
#
# Targets for a domain run without filters: the runner takes at most 0.5 x
# the time of `grep -c $'\tns\t'`, is at least 8 x faster than the recipe
# `mawk -F'\t' '$4=="ns"{print $1}' | uniq`, and peaks at no more than 32 MiB
# whatever the zone's length. Then, on a zone of the same length with 30 %
# of its domains on servers of their own (make_zone --own-servers 30), the
# runs that read servers (ServerRuns in bench/compare_common.sh): the
# name-server, append and count runs each at most 2 x the domain run, the
# count at least 5 x faster than an awk | sort | uniq -c recipe over the
# append-mode list, at most 64 bytes per distinct server.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
# shellcheck source=bench/compare_common.sh
source bench/compare_common.sh

scripts/install-deps.sh >/dev/null
BuildTools
MakeWorkFolder

lines=2000000
zone="$WORK/czds.zone"
"$MAKE_ZONE" --layout czds --lines "$lines" "$zone"
"$MAKE_ZONE" --layout czds --lines 200000 "$WORK/czds-short.zone"
bytes=$(wc -c <"$zone")
cat "$zone" "$WORK/czds-short.zone" >/dev/null # page cache warm: every command reads from memory

open_filters=(--min 0 --max 1000 --exclude "")
mawk_recipe="LC_ALL=C mawk -F'\t' '\$4==\"ns\"{print \$1}' '$zone' | uniq"

echo "Synthetic CZDS-form zone: $bytes bytes, $lines lines; $rounds rounds in turns, medians"
echo

: >"$WORK/rounds.txt"
for _ in $(seq "$rounds"); do
    read -r a ra ca < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$zone" "$WORK/out.txt")
    read -r b rb _ < <(Once env LC_ALL=C grep -c $'\tns\t' "$zone")
    read -r c rc _ < <(Once sh -c "$mawk_recipe >'$WORK/mawk.txt'")
    echo "$a $ra $b $rb $c $rc $ca" >>"$WORK/rounds.txt"
done
t_run=$(cut -d' ' -f1 "$WORK/rounds.txt" | Median); rss_run=$(cut -d' ' -f2 "$WORK/rounds.txt" | Largest)
t_grep=$(cut -d' ' -f3 "$WORK/rounds.txt" | Median); rss_grep=$(cut -d' ' -f4 "$WORK/rounds.txt" | Largest)
t_mawk=$(cut -d' ' -f5 "$WORK/rounds.txt" | Median); rss_mawk=$(cut -d' ' -f6 "$WORK/rounds.txt" | Largest)
code_run=$(cut -d' ' -f7 "$WORK/rounds.txt" | Largest)

Row "runner master domains (no filters)" "$t_run" "$rss_run" "$bytes" "$lines"
Row "LC_ALL=C grep -c \$'\\tns\\t'" "$t_grep" "$rss_grep" "$bytes" "$lines"
Row "LC_ALL=C mawk -F'\\t' '\$4==\"ns\"{print \$1}' | uniq" "$t_mawk" "$rss_mawk" "$bytes" "$lines"
((code_run == 0)) || echo "(the runner exited with $code_run)"
# The recipe's list also holds the apex's own name.
if (($(grep -c '' "$WORK/out.txt" || true) + 1 != $(grep -c '' "$WORK/mawk.txt" || true))); then
    echo "WARNING: the runner's list does not hold the recipe's domains: its times are not those of a correct run"
fi

read -r t v _ < <(Once "$RUNNER" --layout master --mode domains --line-limit 0 "$zone" "$WORK/out.txt")
Row "runner master domains (first-start filters)" "$t" "$v" "$bytes" "$lines"
read -r t v _ < <(Once "$RUNNER" --layout master --mode domains --append "${open_filters[@]}" --line-limit 0 "$zone" "$WORK/out.txt")
Row "runner master domains --append" "$t" "$v" "$bytes" "$lines"
read -r t v _ < <(Once "$RUNNER" --layout master --mode nameservers --line-limit 0 "$zone" "$WORK/out.txt")
Row "runner master nameservers ($(grep -c '' "$WORK/out.txt" || true) servers)" "$t" "$v" "$bytes" "$lines"
read -r _ rss_short _ < <(Once "$RUNNER" --layout master --mode domains "${open_filters[@]}" --line-limit 0 "$WORK/czds-short.zone" "$WORK/out.txt")

echo
Ratio "runner / grep time" "$(awk -v a="$t_run" -v b="$t_grep" 'BEGIN { print a / b }')" "<=" 0.5
Ratio "mawk recipe / runner time" "$(awk -v a="$t_mawk" -v b="$t_run" 'BEGIN { print a / b }')" ">=" 8
Ratio "peak RSS at 2,000,000 lines (MiB)" "$(awk -v r="$rss_run" 'BEGIN { print r / 1024 }')" "<=" 32
Ratio "peak RSS growth from 200,000 lines (MiB)" "$(awk -v a="$rss_run" -v b="$rss_short" 'BEGIN { print (a - b) / 1024 }')" "<=" 2

echo
"$MAKE_ZONE" --layout czds --lines "$lines" --own-servers 30 "$WORK/czds-own.zone"
ServerRuns "$WORK/czds-own.zone" "$rounds"
