#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: every test
# under ASan+UBSan, the engine's tests again under TSan, and the Windows
# build's tests (engine, plexor2-extract, its zip) under Wine. Any sanitizer
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== ASan + UBSan: all tests =="
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

echo "== TSan: engine tests =="
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan -j2

echo "== Windows (MinGW-w64 cross build): engine and plexor2-extract under Wine =="
cmake --preset windows
cmake --build --preset windows
# ctest starts the Wine server (test wine_prefix) and stops it again; this
# stops it also when ctest itself is interrupted.
trap 'build/windows/wine-run --stop' EXIT
ctest --preset windows -j2
