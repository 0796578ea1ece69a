#!/usr/bin/env bash
# Installs what is needed, builds the two programs with the release
# configuration and starts Plexor2.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset release
# The programs only: the tests and benchmarks are built by scripts/test.sh.
cmake --build --preset release --target Plexor2 plexor2-extract

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ] && [ "$(uname -s)" = Linux ]; then
    echo "Plexor2 is built (build/release/app/Plexor2), but there is no display to show it on."
    echo "Start it from a desktop session, or try it headless with: QT_QPA_PLATFORM=offscreen build/release/app/Plexor2"
    echo "Without a display, the command-line program works: build/release/tools/plexor2-extract --help"
    exit 1
fi
echo "Starting Plexor2. To try it: Open Zone -> samples/com-sample.zone, then Extract Domain Names."
exec build/release/app/Plexor2 "$@"
