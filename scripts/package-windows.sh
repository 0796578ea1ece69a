#!/usr/bin/env bash
# Cross-builds plexor2-extract for Windows (x86-64, MinGW-w64) with the
# windows preset's settings and makes its download,
# build/package-windows/plexor2-extract-<version>-windows-x86_64.zip, then
# lists what it holds.
#
#   scripts/package-windows.sh [BUILD_DIR]      (default build/package-windows)
#
# `ctest --preset windows` (scripts/test.sh) tests the same zip under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/package-windows}
scripts/install-deps.sh unzip  # unzip lists the zip

# Only what the zip holds: no tests.
cmake --preset windows -B "$build" -DPLEXOR_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target plexor2_extract_zip

zip=$(ls "$build"/plexor2-extract-*-windows-x86_64.zip)
echo "== $zip =="
unzip -l "$zip"
