#!/usr/bin/env bash
# Runs a command with an X display: the one already set, or an Xvfb started here and stopped after.
# Also stops the build tree's Wine server afterwards, so that nothing is left running.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
xvfb=
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 70 89); do
        { [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; } && continue
        Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb=$!
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        export DISPLAY=:$n
        break
    done
fi
"$@"
rc=$?
if [ -n "$xvfb" ]; then
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
fi
exit $rc
