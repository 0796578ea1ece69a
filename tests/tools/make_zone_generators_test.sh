#!/usr/bin/env bash
# make_zone's share of domains on servers of their own and its CZDS-like
# folder: the share comes out as asked in every layout; the folder holds 521
# valid gzip master files whose domains the runner reads in full; the next
# day of a folder keeps most names, adds and drops some.
#
#   make_zone_generators_test.sh RUNNER MAKE_ZONE WORK_DIR
set -euo pipefail
runner=$1 maker=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"
failures=0
Fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Share of czds domains whose first server is ns1.<domain>, per asked percent.
for percent in 0 30 100; do
    "$maker" --layout czds --lines 60000 --own-servers "$percent" own.zone
    share=$(awk -F'\t' '$4 == "ns" { d[$1] = 1; if ($5 == "ns1." $1) o[$1] = 1 }
        END { printf "%d", 100 * length(o) / length(d) }' own.zone)
    ((share >= percent - 3 && share <= percent + 3)) || Fail "czds --own-servers $percent gave $share %"
done
# The line layouts: none or all domains on their own servers (axfr's fixed
# hand-written part names hoster servers whatever the share).
for layout in gtld se axfr; do
    "$maker" --layout "$layout" --lines 20000 --own-servers 100 all.zone
    "$maker" --layout "$layout" --lines 20000 --own-servers 0 none.zone
    [[ $layout != axfr ]] && grep -qi 'ns1\.hostmaster\.net' all.zone && Fail "$layout --own-servers 100 still uses a hoster"
    grep -qi 'ns1\.[a-z0-9-]*\.\(com\|se\|nu\)\.\?[[:space:]]*\(IN[[:space:]]*\)\?A[[:space:]]' none.zone \
        && [[ $layout != axfr ]] && Fail "$layout --own-servers 0 still writes glue"
done

# The folder: 521 zones, each read in full by the runner with the domains awk counts.
"$maker" --layout czds-pull --lines 30000 pull
zones=$(find pull -name '*.txt.gz' | wc -l)
((zones == 521)) || Fail "czds-pull wrote $zones zones"
for zone in pull/com.txt.gz pull/net.txt.gz pull/xyz.txt.gz pull/kalo.txt.gz pull/website.txt.gz; do
    gzip -t "$zone" || { Fail "$zone is no valid gzip file"; continue; }
    origin=$(basename "$zone" .txt.gz).
    [[ $(gzip -dc "$zone" | head -n 1 | cut -f1,4) == "$origin"$'\tsoa' ]] || Fail "$zone does not open with its SOA"
    expected=$(gzip -dc "$zone" | awk -F'\t' -v o="$origin" '$4 == "ns" && $1 != o { d[$1] = 1 } END { print length(d) }')
    "$runner" --layout master --mode domains --min 0 --max 1000 --exclude "" --line-limit 0 --lf --quiet "$zone" names.txt
    got=$(grep -c '' names.txt || true)
    ((got == expected)) || Fail "$zone: the runner read $got domains, awk counts $expected"
done
# The large zone is the czds layout of the same seed.
gzip -dc pull/com.txt.gz | cmp -s - <("$maker" --layout czds --lines 30000 /dev/stdout) \
    || Fail "the folder's com zone differs from --layout czds"

# The next day: the same zones, most names kept, some new ones, some dropped.
"$maker" --next-day-of pull next
((zones == $(find next -name '*.txt.gz' | wc -l))) || Fail "the next day lacks zones"
gzip -dc pull/com.txt.gz | cut -f1 | sort -u >before.txt
gzip -dc next/com.txt.gz | cut -f1 | sort -u >after.txt
kept=$(comm -12 before.txt after.txt | wc -l) new=$(comm -13 before.txt after.txt | wc -l)
gone=$(comm -23 before.txt after.txt | wc -l) all=$(wc -l <before.txt)
((kept * 100 >= all * 98 && new > 0 && gone > 0)) || Fail "next day: $kept of $all kept, $new new, $gone dropped"

((failures == 0)) || exit 1
echo "make_zone generators: all checks passed"
