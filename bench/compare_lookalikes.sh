#!/usr/bin/env bash
# Look-alike runs at reading speed: has make_zone write the CZDS-form zone of
# bench/compare_scale.sh (about 18,000,000 lines) and its gzip form, writes
# 100 and 1,000 watched terms of 4 to 14 characters (half taken from the
# zone's own labels, so that some names match, half made up), then measures
# in turns, medians over the rounds, each run's list going to a file:
#   the plain domain run (no filters) on the plain and the gzip file, and the
#   same runs with --like-file (100 and 1,000 terms; 1,000 on the gzip file).
# It reports the name-term pairs a second the matcher decides, against a
# plain Levenshtein loop (python3-levenshtein) over a sample of the same
# names, and the peak memory of the runs.
#
#   bench/compare_lookalikes.sh [ROUNDS]     (default 3)
#   LINES=N          the zone's length (default 18000000)
#   RUNNER=path NO_BUILD=1 ...               (see bench/compare_common.sh)
#
# Targets, as ratios in one run on a 2-core machine:
#   100 terms <= 2 x the plain run, 1,000 terms <= 3 x, and 1,000 terms on
#   the gzip file <= 1.5 x the plain gzip run; 1,000 terms within a few MiB
#   of the plain run's peak memory.
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
"$MAKE_ZONE" --layout czds --lines "$lines" "$zone"
gzip -c "$zone" >"$gz"
bytes=$(wc -c <"$zone")

# Terms: every other one a label of the zone (4 to 14 characters), the others
# random letters; the same terms on every machine.
MakeTerms() {
    local count=$1
    LC_ALL=C awk -F'\t' -v count="$count" 'BEGIN { srand(20261210) }
        $4 == "ns" {
            label = $1; sub(/\..*/, "", label)
            if (length(label) >= 4 && length(label) <= 14 && label != last && rand() < 0.001) pool[n++] = label
            last = label
            if (n >= count) exit
        }
        END {
            for (i = 0; i < count; i++) {
                if (i % 2 == 0 && i / 2 < n) { print pool[i / 2]; continue }
                len = 4 + int(rand() * 11); word = ""
                for (j = 0; j < len; j++) word = word sprintf("%c", 97 + int(rand() * 26))
                print word
            }
        }' "$zone"
}
MakeTerms 100 >"$WORK/terms-100.txt"
MakeTerms 1000 >"$WORK/terms-1000.txt"
cat "$zone" "$gz" >/dev/null
echo "CZDS-form zone: $lines lines, $bytes bytes; $rounds rounds in turns, medians"

open=(--layout master --mode domains --min 0 --max 1000 --exclude "" --line-limit 0)
: >"$WORK/rounds.txt"
for _ in $(seq "$rounds"); do
    read -r a ra _ < <(Once "$RUNNER" "${open[@]}" "$zone" "$WORK/plain.txt")
    read -r b rb _ < <(Once "$RUNNER" "${open[@]}" --like-file "$WORK/terms-100.txt" "$zone" "$WORK/like-100.txt")
    read -r c rc _ < <(Once "$RUNNER" "${open[@]}" --like-file "$WORK/terms-1000.txt" "$zone" "$WORK/like-1000.txt")
    read -r d rd _ < <(Once "$RUNNER" "${open[@]}" "$gz" "$WORK/plain-gz.txt")
    read -r e re _ < <(Once "$RUNNER" "${open[@]}" --like-file "$WORK/terms-1000.txt" "$gz" "$WORK/like-1000-gz.txt")
    echo "$a $ra $b $rb $c $rc $d $rd $e $re" >>"$WORK/rounds.txt"
done
Field() { cut -d' ' -f"$1" "$WORK/rounds.txt"; }
t_plain=$(Field 1 | Median); rss_plain=$(Field 2 | Largest)
t_100=$(Field 3 | Median); rss_100=$(Field 4 | Largest)
t_1000=$(Field 5 | Median); rss_1000=$(Field 6 | Largest)
t_gz=$(Field 7 | Median); rss_gz=$(Field 8 | Largest)
t_gz1000=$(Field 9 | Median); rss_gz1000=$(Field 10 | Largest)
names=$(grep -c '' "$WORK/plain.txt" || true)

echo
Row "domain run, plain" "$t_plain" "$rss_plain" "$bytes" "$lines"
Row "100 terms, plain" "$t_100" "$rss_100" "$bytes" "$lines"
Row "1,000 terms, plain" "$t_1000" "$rss_1000" "$bytes" "$lines"
Row "domain run, gzip" "$t_gz" "$rss_gz" "$bytes" "$lines"
Row "1,000 terms, gzip" "$t_gz1000" "$rss_gz1000" "$bytes" "$lines"
echo "$names names; look-alikes written: $(grep -c '' "$WORK/like-100.txt" || true) of 100 terms, $(grep -c '' "$WORK/like-1000.txt" || true) of 1,000"
awk -v n="$names" -v t="$t_1000" 'BEGIN { printf "matcher: %.0f million name-term pairs a second (1,000 terms, whole run)\n", n * 1000 / t / 1e6 }'
# Debian's python3-levenshtein is for the system's Python.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
if "$python" -c 'import Levenshtein' 2>/dev/null; then
    head -n 200000 "$WORK/plain.txt" >"$WORK/sample.txt"
    "$python" - "$WORK/sample.txt" "$WORK/terms-100.txt" <<'PY'
import sys, time, Levenshtein
names = [line.split(".")[0] for line in open(sys.argv[1])]
terms = [line.strip() for line in open(sys.argv[2])]
start = time.perf_counter()
hits = sum(1 for name in names for term in terms if Levenshtein.distance(name, term) <= 2)
seconds = time.perf_counter() - start
print(f"plain Levenshtein loop (python3-levenshtein): {len(names) * len(terms) / seconds / 1e6:.1f} million pairs a second ({hits} within 2)")
PY
fi

echo
Ratio "100 terms / plain run" "$(awk -v a="$t_100" -v b="$t_plain" 'BEGIN { print a / b }')" "<=" 2
Ratio "1,000 terms / plain run" "$(awk -v a="$t_1000" -v b="$t_plain" 'BEGIN { print a / b }')" "<=" 3
Ratio "1,000 terms, gzip / plain gzip run" "$(awk -v a="$t_gz1000" -v b="$t_gz" 'BEGIN { print a / b }')" "<=" 1.5
Ratio "peak RSS, 1,000 terms - plain (MiB)" "$(awk -v a="$rss_1000" -v b="$rss_plain" 'BEGIN { print (a - b) / 1024 }')" "<=" 4
