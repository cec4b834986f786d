#!/usr/bin/env bash
# Takes the README's screenshot of the analyzer window under Xvfb into docs/analyzer-window.png: the
# window as the agent shows it, on the end-to-end fixture's real avr-nm and avr-size output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${KEVRA_BUILD:-build/windows}
if [ -z "${DISPLAY:-}" ]; then
    exec scripts/with-display.sh "$0" "$@"
fi
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target analyzer_demo >/dev/null
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
# Xvfb has no window manager to draw frames: let Wine draw the window's caption itself.
tests/wine/run-wine.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
scripts/screenshot-window.sh "[kevra+ v0.3] Memory Analyzer: RoadFixture.hex" docs/analyzer-window.png \
    "$build/tests/wine/e2e/analyzer_demo.exe" 8
