#!/usr/bin/env bash
# Installs what is needed, builds the release configuration and starts
# Plexor2.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset release
cmake --build --preset release

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname -s)" = Linux ]; then
    echo "Plexor2 is built (build/release/app/Plexor2), but there is no display to show it on."
    echo "Start it from a desktop session, or try it headless with: QT_QPA_PLATFORM=offscreen build/release/app/Plexor2"
    exit 1
fi
exec build/release/app/Plexor2 "$@"
