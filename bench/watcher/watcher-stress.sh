#!/usr/bin/env bash
# Builds the watcher stress probe for Windows and runs it under Wine.
# Usage: bench/watcher/watcher-stress.sh [build folder] [seed]   (WINEPREFIX is honoured)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/windows}
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" -j2 --target watcher_stress >/dev/null
exec scripts/with-display.sh tests/wine/run-wine.sh "$build/bench/watcher/watcher_stress.exe" ${2:+"$2"}
