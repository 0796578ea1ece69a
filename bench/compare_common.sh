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

# ServerRuns ZONE ROUNDS: the runs that read servers, on a CZDS-form zone
# (best one made with make_zone --own-servers, so that its servers are as
# many as a real zone's), in turns with the domain run, medians: the
# name-server mode, --append, --count-by server and --count-by provider;
# then once the recipe that counts domains per server from an append-mode
# list (awk | sort | uniq -c), the distinct servers and the peak memory.
# Prints the rows and the ratios against the targets.
ServerRuns() {
    local zone=$1 rounds=$2 bytes lines
    bytes=$(wc -c <"$zone")
    lines=$(grep -c '' "$zone")
    local open=(--layout master --min 0 --max 1000 --exclude "" --line-limit 0 --lf)
    cat "$zone" >/dev/null
    : >"$WORK/server-rounds.txt"
    for _ in $(seq "$rounds"); do
        read -r a ra _ < <(Once "$RUNNER" "${open[@]}" --mode domains "$zone" "$WORK/sr-domains.txt")
        read -r b rb _ < <(Once "$RUNNER" "${open[@]}" --mode nameservers "$zone" "$WORK/sr-servers.txt")
        read -r c rc _ < <(Once "$RUNNER" "${open[@]}" --mode domains --append "$zone" "$WORK/sr-append.txt")
        read -r d rd _ < <(Once "$RUNNER" "${open[@]}" --mode domains --count-by server "$zone" "$WORK/sr-by-server.txt")
        cp "$WORK/stderr.txt" "$WORK/sr-figures.txt"
        read -r e re _ < <(Once "$RUNNER" "${open[@]}" --mode domains --count-by provider "$zone" "$WORK/sr-by-provider.txt")
        echo "$a $ra $b $rb $c $rc $d $rd $e $re" >>"$WORK/server-rounds.txt"
    done
    Column() { cut -d' ' -f"$1" "$WORK/server-rounds.txt"; }
    local t_dom t_ns t_app t_srv t_prv r_dom r_ns r_app r_srv r_prv
    t_dom=$(Column 1 | Median); r_dom=$(Column 2 | Largest)
    t_ns=$(Column 3 | Median); r_ns=$(Column 4 | Largest)
    t_app=$(Column 5 | Median); r_app=$(Column 6 | Largest)
    t_srv=$(Column 7 | Median); r_srv=$(Column 8 | Largest)
    t_prv=$(Column 9 | Median); r_prv=$(Column 10 | Largest)
    # The recipe: each domain's servers once, lowered, counted.
    local recipe="LC_ALL=C mawk -F': ' 'NF > 1 { n = split(tolower(\$2), s, \",\"); for (i = 1; i <= n; i++) if (!((\$1, s[i]) in seen)) { seen[\$1, s[i]]; print s[i] } delete seen }' '$WORK/sr-append.txt' | LC_ALL=C sort | LC_ALL=C uniq -c >'$WORK/sr-recipe.txt'"
    read -r t_rec r_rec _ < <(Once sh -c "$recipe")
    local servers
    servers=$(grep -c '' "$WORK/sr-servers.txt" || true)
    echo "Zone with servers of their own: $lines lines, $bytes bytes, $servers distinct servers; $rounds rounds in turns, medians"
    Row "runner master domains" "$t_dom" "$r_dom" "$bytes" "$lines"
    Row "runner master nameservers" "$t_ns" "$r_ns" "$bytes" "$lines"
    Row "runner master domains --append" "$t_app" "$r_app" "$bytes" "$lines"
    Row "runner --count-by server" "$t_srv" "$r_srv" "$bytes" "$lines"
    Row "runner --count-by provider" "$t_prv" "$r_prv" "$bytes" "$lines"
    Row "append list | mawk | sort | uniq -c (after the append run)" "$t_rec" "$r_rec" "$bytes" "$lines"
    sed 's/^/    /' "$WORK/sr-figures.txt"
    if (($(grep -c '' "$WORK/sr-recipe.txt" || true) != $(grep -c '' "$WORK/sr-by-server.txt" || true))); then
        echo "WARNING: the recipe and the count by server have different numbers of servers"
    fi
    Ratio "name-server run / domain run time" "$(awk -v a="$t_ns" -v b="$t_dom" 'BEGIN { print a / b }')" "<=" 2
    Ratio "append run / domain run time" "$(awk -v a="$t_app" -v b="$t_dom" 'BEGIN { print a / b }')" "<=" 2
    Ratio "count by server / domain run time" "$(awk -v a="$t_srv" -v b="$t_dom" 'BEGIN { print a / b }')" "<=" 2
    Ratio "count by provider / domain run time" "$(awk -v a="$t_prv" -v b="$t_dom" 'BEGIN { print a / b }')" "<=" 2
    Ratio "(append run + recipe) / count by server" "$(awk -v a="$t_app" -v r="$t_rec" -v b="$t_srv" 'BEGIN { print (a + r) / b }')" ">=" 5
    Ratio "count by server: bytes per distinct server" "$(awk -v a="$r_srv" -v b="$r_dom" -v s="$servers" 'BEGIN { print (a - b) * 1024 / s }')" "<=" 64
    Ratio "count by provider: bytes per distinct server" "$(awk -v a="$r_prv" -v b="$r_dom" -v s="$servers" 'BEGIN { print (a - b) * 1024 / s }')" "<=" 64
}
