#!/usr/bin/env bash
# Builds and runs the scan benchmark under Wine: ScanBuilds against a bare directory walk.
#   bench/run-scan-bench.sh [--every-ide] [folders] [hexPerFolder] [rounds]
# KEVRA_BUILD_DIR picks another build folder of the windows preset (default build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KEVRA_BUILD_DIR:-build/windows}
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target scan_bench
exec scripts/with-display.sh tests/wine/run-wine.sh "$build/bench/scan_bench.exe" "$@"
