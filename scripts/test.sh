#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: every test
# under ASan+UBSan, the engine's tests and fuzz replays again with the
# reference (byte-at-a-time) kernel forced, the engine's tests under TSan,
# the tests of a build with the plain code only (as for a processor without
# SSE2), every libFuzzer target for a short run (scripts/fuzz.sh), and the
# Windows build's tests (engine, plexor2-extract, its zip) under Wine. Any
# sanitizer report, crash or failed fuzz property fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== ASan + UBSan: all tests =="
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

echo "== ASan + UBSan: engine tests and fuzz replays, reference kernel =="
# The scanning kernels give the same answers; this runs the plain one that
# no x86-64 machine picks by itself (KernelChoice.TheRunUsesTheKernelAskedFor
# fails if it did not run).
PLEXOR_KERNEL=reference ctest --preset asan -j2 -L 'engine|fuzz'

echo "== TSan: engine tests =="
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan -j2

echo "== Plain code only (no SIMD): engine, command-line and fuzz replay tests =="
# What a processor without SSE2 (an ARM build) runs: the reference kernel and
# the plain branches of the per-line code.
cmake --preset plain
cmake --build --preset plain
ctest --preset plain -j2 -L 'engine|cli|fuzz'

echo "== libFuzzer: every fuzz target for 20 s from its seeds =="
# Short runs as OSS-Fuzz's CIFuzz makes on every pull request: the fuzz
# preset (clang, ASan + UBSan), two targets at a time, each from its
# committed corpus. What they find goes to a scratch folder that is removed,
# so fuzz/corpus/ stays as committed. A crash, sanitizer report or failed
# property fails the run; its input is kept in build/fuzz/artifacts/.
fuzz_work=$(mktemp -d)
fuzz_status=0
FUZZ_WORK="$fuzz_work" FUZZ_JOBS=2 scripts/fuzz.sh 20 || fuzz_status=$?
rm -rf "$fuzz_work"
if [ "$fuzz_status" -ne 0 ]; then
    exit "$fuzz_status"
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1 \
    && [ -n "$(git status --porcelain --untracked-files=all -- fuzz/corpus)" ]; then
    echo "test.sh: the fuzz runs changed fuzz/corpus/" >&2
    git status --short -- fuzz/corpus >&2
    exit 1
fi

echo "== Windows (MinGW-w64 cross build): engine and plexor2-extract under Wine =="
cmake --preset windows
cmake --build --preset windows
# ctest starts the Wine server (test wine_prefix) and stops it again; this
# stops it also when ctest itself is interrupted.
trap 'build/windows/wine-run --stop' EXIT
ctest --preset windows -j2
