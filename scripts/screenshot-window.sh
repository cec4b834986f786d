#!/usr/bin/env bash
# Takes a PNG screenshot of one window, found by its title, from the X display (an Xvfb started here
# when DISPLAY is unset). With a program given, starts it under Wine first, waits for the window,
# and ends that program after the shot.
# Usage: screenshot-window.sh "Window title" out.png [program.exe [args...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: $0 TITLE OUT.png [PROGRAM.exe [ARGS...]]" >&2; exit 2; }
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/scripts/with-display.sh" "$0" "$@"
fi
title=$1 out=$2
shift 2

program=
if [ $# -gt 0 ]; then
    # Xvfb has no window manager to draw frames: let Wine draw this program's captions itself.
    export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
    "$root/tests/wine/run-wine.sh" reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")\\X11 Driver" \
        /v Managed /d N /f >/dev/null 2>&1 || true
    "$root/tests/wine/run-wine.sh" "$@" >/dev/null 2>&1 &
    program=$!
fi
stop() { [ -n "$program" ] && kill "$program" 2>/dev/null; true; }
trap stop EXIT

# The first window of that title that is on screen: a hidden one has an X window too, unmapped.
window=
for _ in $(seq 300); do
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | awk '{print $1}' || true); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            window=$id
            break
        fi
    done
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "no window titled \"$title\" on $DISPLAY" >&2; exit 1; }
sleep 1   # let the window paint before the shot
import -window "$window" "$out"
echo "$out"
