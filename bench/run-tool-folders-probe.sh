#!/usr/bin/env bash
# Builds and runs the tool folder probe under Wine: percentiles of the AVR tool folder look-up with
# 20 boards-manager versions installed, beside one bare listing of their folder.
#   bench/run-tool-folders-probe.sh [runs]
# KEVRA_BUILD_DIR picks another build folder of the windows preset (default build/windows); the
# probe writes into the local application-data folder of the Wine prefix (WINEPREFIX, default
# build/wineprefix) and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KEVRA_BUILD_DIR:-build/windows}
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target tool_folders_probe
exec scripts/with-display.sh tests/wine/run-wine.sh "$build/bench/tool_folders_probe.exe" "$@"
