#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: every test
# under ASan+UBSan, and the engine's tests again under TSan. Any sanitizer
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
