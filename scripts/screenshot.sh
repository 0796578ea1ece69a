#!/usr/bin/env bash
# Takes a picture of Plexor2's main window on a virtual X server and writes
# it to docs/screenshot.png. Real settings stay untouched: the program runs
# with a temporary HOME and XDG_CONFIG_HOME, seeded with a sample zone file
# name so the picture shows a filled-in dialog.
#
# Usage: scripts/screenshot.sh [path-to-Plexor2] [output.png]
# Default program: build/release/app/Plexor2, else build/app-dev/app/Plexor2.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-}
if [[ -z "$program" ]]; then
    for candidate in "$root/build/release/app/Plexor2" "$root/build/app-dev/app/Plexor2"; do
        if [[ -x "$candidate" ]]; then
            program=$candidate
            break
        fi
    done
fi
output=${2:-$root/docs/screenshot.png}
if [[ -z "$program" || ! -x "$program" ]]; then
    echo "screenshot.sh: Plexor2 not found; build it first or pass its path" >&2
    exit 1
fi

# The tools, installed only when missing.
missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xwininfo >/dev/null || missing+=(x11-utils)
if ! command -v import >/dev/null || ! [[ -x /usr/bin/convert ]]; then
    missing+=(imagemagick)
fi
if ((${#missing[@]} > 0)); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "screenshot.sh: please install: ${missing[*]}" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    [[ -n "$app_pid" ]] && wait "$app_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A free display number.
display=99
while [[ -e /tmp/.X${display}-lock || -e /tmp/.X11-unix/X${display} ]]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }

# Settings of a user who watches two brands in today's new names.
mkdir -p "$work/home" "$work/config/Velmora Technologies"
cat >"$work/config/Velmora Technologies/Plexor2.conf" <<'CONF'
[Settings]
Zone%20File%20Name=/home/user/zones/com-2026-12-10.txt.gz
Zone%20Type=2
Min%20Chars=1
Max%20Chars=63
Exclude%20Chars=
Compare%20With%20Older%20Zone=1
Older%20Zone%20File%20Name=/home/user/zones/com-2026-12-09.txt.gz
Lookalike%20Terms="paypal,amazon"
Lookalike%20Exceptions="paypal.com,amazon.com"
Output%20Form=tsv
CONF

HOME="$work/home" XDG_CONFIG_HOME="$work/config" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
    QT_FONT_DPI=96 QT_STYLE_OVERRIDE=Fusion "$program" >"$work/app.log" 2>&1 &
app_pid=$!

# Wait for the window to be mapped, then give it a moment to paint.
geometry=""
for _ in $(seq 1 100); do
    if line=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -E '"Plexor2?"' | head -n 1) && [[ -n "$line" ]]; then
        geometry=$line
        break
    fi
    sleep 0.1
done
if [[ -z "$geometry" ]]; then
    echo "screenshot.sh: the main window did not appear" >&2
    cat "$work/app.log" >&2
    exit 1
fi
sleep 1

DISPLAY=":$display" import -window root "$work/root.png"
# The dialog on the black root window: cut away the black.
/usr/bin/convert "$work/root.png" -trim +repage "$output"
echo "screenshot.sh: wrote $output"
