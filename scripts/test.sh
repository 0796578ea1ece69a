#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: every test
# under ASan+UBSan, the engine's tests and fuzz replays again with the
# reference (byte-at-a-time) kernel forced, the engine's tests under TSan,
# the tests of a build with the plain code only (as for a processor without
# SSE2), and the Windows build's tests (engine, plexor2-extract, its zip)
# under Wine. Any sanitizer report fails the run.
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

echo "== Windows (MinGW-w64 cross build): engine and plexor2-extract under Wine =="
cmake --preset windows
cmake --build --preset windows
# ctest starts the Wine server (test wine_prefix) and stops it again; this
# stops it also when ctest itself is interrupted.
trap 'build/windows/wine-run --stop' EXIT
ctest --preset windows -j2
