#!/usr/bin/env bash
# plexor2-extract with pipes, signals and a terminal:
#   - SIGINT in the middle of a run fed through a FIFO: exit 130, the output
#     file holds whole CR LF lines, a prefix of the complete run's output;
#   - SIGTERM with the zone on standard input and the names on standard
#     output: exit 143, whole lines, a prefix;
#   - progress on a pseudo-terminal (made by script(1)), and standard input
#     refused as ZONE when it is a terminal;
#   - an output appended to the zone file itself is refused.
# The test waits for the program only by blocking reads on its pipes, never
# by sleeping.
#
#   plexor2_extract_streams_test.sh PROGRAM MAKE_ZONE WORK_DIR
set -euo pipefail
program=$1
maker=$2
work=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
command -v mkfifo >/dev/null || { echo "SKIPPED: mkfifo not found"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$maker" --layout gtld --lines 400000 --seed 11 --unique zone
head -n 200000 zone >part1
tail -n +200001 zone >part2
filters=(--layout gtld --mode domains --min 1 --max 63 --exclude "" --line-limit 0)
"$program" "${filters[@]}" zone full-crlf.txt >/dev/null
"$program" "${filters[@]}" --lf zone full-lf.txt >/dev/null

# $1 is a prefix of $2 made of whole lines ending in $3 (crlf or lf), and
# shorter than it.
expect_whole_prefix() {
    local got=$1 full=$2 ending=$3 size
    size=$(stat -c %s "$got")
    ((size > 0)) || fail "$got is empty"
    ((size < $(stat -c %s "$full"))) || fail "$got holds the whole output: the run was not stopped"
    cmp -s -n "$size" "$got" "$full" || fail "$got is not a prefix of $full"
    if [[ $ending == crlf ]]; then
        [[ $(tail -c 2 "$got" | od -An -tx1 | tr -d ' ') == 0d0a ]] || fail "$got does not end with CR LF"
        ! LC_ALL=C grep -q $'[^\r]$' "$got" || fail "$got has a line without CR LF"
    else
        [[ $(tail -c 1 "$got" | od -An -tx1 | tr -d ' ') == 0a ]] || fail "$got does not end with LF"
        ! LC_ALL=C grep -q $'\r' "$got" || fail "$got has a CR"
    fi
}

# SIGINT, zone from a FIFO, output to a file, progress asked for on stderr
# (another FIFO, through which the test sees the run going).
mkfifo in.fifo err.fifo
"$program" "${filters[@]}" --progress in.fifo out.txt >status.txt 2>err.fifo &
pid=$!
exec 4<err.fifo
exec 3>in.fifo
cat part1 >&3
# The progress line of a pipe: "N lines  N names  R MB/s", after a CR.
while IFS= read -r -d $'\r' -u 4 progress; do
    if [[ $progress =~ ^([0-9]+)\ lines && ${BASH_REMATCH[1]} -gt 0 ]]; then
        break
    fi
done
kill -INT "$pid"
# The rest of the zone; the program may already have closed its end.
cat part2 >&3 2>/dev/null || true
exec 3>&-
cat <&4 >err.txt
exec 4<&-
code=0
wait "$pid" || code=$?
((code == 130)) || fail "SIGINT: exit $code, expected 130; stderr: $(cat err.txt)"
grep -q "interrupted; the output holds the names found up to there" err.txt || fail "SIGINT: no note: $(cat err.txt)"
grep -Eq '^\[[0-9]+ Lines\]  \[[0-9]+ Names\]$' status.txt || fail "SIGINT: no status line: $(cat status.txt)"
expect_whole_prefix out.txt full-crlf.txt crlf
rm -f in.fifo err.fifo

# SIGTERM, zone on standard input, names on standard output.
mkfifo in.fifo out.fifo
"$program" "${filters[@]}" --lf - - <in.fifo >out.fifo 2>err.txt &
pid=$!
exec 3>in.fifo
exec 5<out.fifo
cat part1 >&3 &
writer=$!
IFS= read -r -u 5 first || fail "SIGTERM: no output line"
printf '%s\n' "$first" >stdout.txt
cat <&5 >>stdout.txt &
reader=$!
kill -TERM "$pid"
wait "$writer" 2>/dev/null || true
cat part2 >&3 2>/dev/null || true
exec 3>&-
wait "$reader"
exec 5<&-
code=0
wait "$pid" || code=$?
((code == 143)) || fail "SIGTERM: exit $code, expected 143; stderr: $(cat err.txt)"
grep -Eq '^\[[0-9]+ Lines\]  \[[0-9]+ Names\]$' err.txt || fail "SIGTERM: no status line on stderr: $(cat err.txt)"
expect_whole_prefix stdout.txt full-lf.txt lf
rm -f in.fifo out.fifo

# The output may not be the zone file behind standard output.
cp part1 small.zone
code=0
"$program" "${filters[@]}" small.zone - >>small.zone 2>err.txt || code=$?
((code == 1)) || fail "append to the zone: exit $code, expected 1"
grep -q "The output file is the zone file itself" err.txt || fail "append to the zone: $(cat err.txt)"
cmp -s small.zone part1 || fail "append to the zone: the zone file changed"

# A terminal: progress shows there (and is cleared); standard input that is a
# terminal is refused as ZONE.
if script --version >/dev/null 2>&1; then
    script -q -e -c "'$program' --layout gtld --mode domains zone pty-out.txt" /dev/null </dev/null >pty.txt ||
        fail "on a terminal: $(cat pty.txt)"
    LC_ALL=C grep -Eq $'\r *[0-9]+% +[0-9]+ lines +[0-9]+ names' pty.txt || fail "no progress on a terminal: $(cat -A pty.txt)"
    LC_ALL=C grep -Eq $'\r +\r' pty.txt || fail "the progress line was not cleared: $(cat -A pty.txt)"
    grep -Eq '\[400[0-9]+ Lines\]  \[[0-9]+ Names\]' pty.txt || fail "no status line on a terminal: $(cat -A pty.txt)"
    code=0
    script -q -e -c "'$program' --layout gtld --mode domains - pty-out.txt" /dev/null </dev/null >pty.txt || code=$?
    ((code == 2)) || fail "standard input on a terminal: exit $code, expected 2"
    grep -q "standard input is a terminal" pty.txt || fail "standard input on a terminal: $(cat pty.txt)"
else
    echo "script(1) not found: the terminal checks are left out"
fi
echo "plexor2-extract streams: all checks passed"
