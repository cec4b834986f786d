#!/usr/bin/env bash
# Soak run of the real agent under Wine: 200 build folders polled for the minutes given (default 30),
# a new build every 20 s, the analyzer opened and closed 50 times; prints the agent's handle count,
# GDI objects and private memory at the start, every minute and at the end. Wine reports no handle or
# GDI counts, so the agent's Linux process is sampled as well: its resident memory, its open file
# descriptors and the X windows of the display.
# Usage: scripts/soak-analyzer.sh [minutes] [analyzer cycles]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${KEVRA_BUILD:-build/windows}
if [ -z "${DISPLAY:-}" ]; then
    exec scripts/with-display.sh "$0" "$@"
fi
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target analyzer_soak >/dev/null
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
# The AVR tools the analysis runs: the shims over the Debian tools, on the search path.
export WINEPATH="Z:$(echo "$root/$build/tests/wine/tools/avr-shims" | tr / '\\')"

# The agent of this run lies in the soak's own scratch folder.
sample() {
    local pid=""
    while true; do
        pid=$(pgrep -f 'kevra-soak-.*kevra-agent\.exe' | head -1 || true)
        if [ -n "$pid" ] && [ -r "/proc/$pid/status" ]; then
            printf 'linux %s  rss %6s kB  fds %4s  x windows %5s\n' "$(date +%T)" \
                "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" "$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)" \
                "$(xwininfo -root -tree 2>/dev/null | grep -c '^ \+0x' || true)"
        fi
        sleep 60
    done
}
sample &
sampler=$!
trap 'kill $sampler 2>/dev/null' EXIT
tests/wine/run-wine.sh "$build/tests/wine/e2e/analyzer_soak.exe" "${1:-30}" "${2:-50}" 2> >(grep -v '^wine:' >&2)
