#!/usr/bin/env bash
# Re-makes the sample zones in samples/ and their expected outputs.
#
# The zones come from tools/make_zone with fixed seeds, so the same bytes
# come out on every machine; the compressed sample is the .COM-layout sample
# through gzip -n -9. Each expected output listed in samples/cases.txt is the
# output of tools/plexor2-extract with the options given there, and is then
# cross-checked against scripts/zone-reference.awk, a second reading of the
# layouts written independently of the engine: any difference stops the
# script.
#
# The standard master-file samples (czds-sample.zone, its .gz, and
# axfr-sample.zone, from make_zone's czds and axfr forms) go the other way
# round: their expected outputs, listed in samples/master-cases.txt, are
# written by scripts/master-reference.py, dnspython's reading of the zone
# files, and every case is then run through tools/plexor2-extract; any
# difference is listed and the script ends with an error.
#
#   scripts/make-samples.sh [BUILD_DIR]     (default build/samples)
#   PYTHON=...   a Python 3 with dnspython (default /usr/bin/python3)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/samples}
scripts/install-deps.sh gzip mawk python3-dnspython
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLEXOR_BUILD_GUI=OFF -DPLEXOR_BUILD_TESTS=OFF \
    -DPLEXOR_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" -j2 --target make_zone plexor2-extract >/dev/null

"$build/tools/make_zone" --layout gtld --lines 10000 --seed 2026 --unique samples/com-sample.zone
"$build/tools/make_zone" --layout se --lines 10000 --seed 2026 --unique samples/se-sample.zone
gzip -n -9 -c samples/com-sample.zone >samples/com-sample.zone.gz

mkdir -p samples/expected
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
made=()
while read -r expected zone options; do
    [[ -z "$expected" || "$expected" == \#* ]] && continue
    # shellcheck disable=SC2086 # the options are words without blanks
    set -- $options
    status=$("$build/tools/plexor2-extract" "$@" "samples/$zone" "$work/out.txt")

    # The same run through the reference reading.
    layout="" mode="" min=5 max=18 exclude="xyz-" include="" ns="" append=0
    while (($# > 0)); do
        case "$1" in
            --layout) layout=$2; shift 2 ;;
            --mode) mode=$2; shift 2 ;;
            --min) min=$2; shift 2 ;;
            --max) max=$2; shift 2 ;;
            --exclude) exclude=$2; shift 2 ;;
            --include) include=$2; shift 2 ;;
            --ns) ns=$2; shift 2 ;;
            --append) append=1; shift ;;
            *) echo "make-samples: unknown option $1 in samples/cases.txt" >&2; exit 1 ;;
        esac
    done
    case "$zone" in
        *.gz) gzip -dc "samples/$zone" >"$work/zone" ;;
        *) cp "samples/$zone" "$work/zone" ;;
    esac
    LC_ALL=C mawk -v layout="$layout" -v mode="$mode" -v min="$min" -v max="$max" -v exclude="$exclude" \
        -v include="$include" -v ns="$ns" -v append="$append" -f scripts/zone-reference.awk \
        "$work/zone" >"$work/reference.txt"
    if ! cmp -s "$work/out.txt" "$work/reference.txt"; then
        echo "make-samples: $expected from $zone: the engine and the reference reading differ" >&2
        diff "$work/out.txt" "$work/reference.txt" | head -n 20 >&2
        exit 1
    fi

    # One expected file may be listed for several zones (plain and gzip);
    # they must all give the same bytes.
    if [[ " ${made[*]:-} " == *" $expected "* ]]; then
        cmp -s "$work/out.txt" "samples/expected/$expected" || {
            echo "make-samples: $zone gives a different $expected" >&2
            exit 1
        }
    else
        cp "$work/out.txt" "samples/expected/$expected"
        made+=("$expected")
    fi
    printf 'make-samples: %-24s %-20s %s\n' "$expected" "$zone" "$status"
done <samples/cases.txt

# The standard master-file samples: expected outputs from dnspython, then the
# engine checked against them.
python=${PYTHON:-/usr/bin/python3}
runner="$build/tools/plexor2-extract"
"$build/tools/make_zone" --layout czds --lines 4000 --seed 2026 samples/czds-sample.zone
"$build/tools/make_zone" --layout axfr --lines 3000 --seed 2026 samples/axfr-sample.zone
gzip -n -9 -c samples/czds-sample.zone >samples/czds-sample.zone.gz

made=()
differences=0
while read -r expected zone options; do
    [[ -z "$expected" || "$expected" == \#* ]] && continue
    # shellcheck disable=SC2206 # the options are words without blanks
    runner_options=($options)
    # The oracle takes the runner's options but --layout.
    oracle_options=()
    set -- "${runner_options[@]}"
    while (($# > 0)); do
        case "$1" in
            --layout) shift 2 ;;
            --append) oracle_options+=("$1"); shift ;;
            --mode | --min | --max | --exclude | --include | --ns) oracle_options+=("$1" "$2"); shift 2 ;;
            *) echo "make-samples: unknown option $1 in samples/master-cases.txt" >&2; exit 1 ;;
        esac
    done
    "$python" scripts/master-reference.py "${oracle_options[@]}" "samples/$zone" "$work/reference.txt"

    # One expected file may be listed for several zones (plain and gzip);
    # dnspython must give the same bytes for all of them.
    if [[ " ${made[*]:-} " == *" $expected "* ]]; then
        cmp -s "$work/reference.txt" "samples/expected/$expected" || {
            echo "make-samples: $zone gives a different $expected" >&2
            exit 1
        }
    else
        cp "$work/reference.txt" "samples/expected/$expected"
        made+=("$expected")
    fi

    code=0
    status=$("$runner" "${runner_options[@]}" "samples/$zone" "$work/out.txt" 2>"$work/errors.txt") || code=$?
    if ((code != 0)); then
        echo "make-samples: MISMATCH $expected from $zone: plexor2-extract exit $code: $(head -c 300 "$work/errors.txt")" >&2
        differences=$((differences + 1))
    elif ! cmp -s "$work/out.txt" "samples/expected/$expected"; then
        echo "make-samples: MISMATCH $expected from $zone: the engine and dnspython differ:" >&2
        diff "$work/out.txt" "samples/expected/$expected" | head -n 10 >&2 || true
        differences=$((differences + 1))
    else
        printf 'make-samples: %-24s %-20s %s\n' "$expected" "$zone" "$status"
    fi
done <samples/master-cases.txt

du -cb samples/*.zone samples/*.gz samples/expected/*.txt | tail -n 1 | awk '{printf "make-samples: %d bytes in all\n", $1}'
if ((differences > 0)); then
    echo "make-samples: FAILED: $differences master-file cases where the engine's output differs from dnspython's" >&2
    exit 1
fi
