#!/usr/bin/env bash
# Runs a Windows program under Wine for tests and scripts: a Wine prefix kept in the build tree,
# no Wine debug chatter, and an Xvfb display started here (and stopped again) when none is set.
# Usage: run-wine.sh program.exe [args...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

started_xvfb=
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 140); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        started_xvfb=$!
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        export DISPLAY=:$n
        break
    done
fi
cleanup() { [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null; }
trap cleanup EXIT

# A new prefix takes a while; make it once, with a lock so parallel tests don't race.
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        # Xvfb runs no window manager: unmanaged windows spare Wine its wait for one on every
        # window that is shown or destroyed, and Wine draws the captions itself.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    # N: is a network drive (a folder beside the prefix that Wine reports as remote), for the tests
    # of what the agent refuses to read from one.
    if [ ! -e "$WINEPREFIX/dosdevices/n:" ]; then
        mkdir -p "$WINEPREFIX-network-drive"
        ln -sfn "$WINEPREFIX-network-drive" "$WINEPREFIX/dosdevices/n:"
        wine reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f >/dev/null 2>&1
        wineserver -w
    fi
) 9>"$WINEPREFIX.lock"

wine "$@"
rc=$?
exit $rc
