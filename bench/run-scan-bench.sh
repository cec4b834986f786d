#!/usr/bin/env bash
# Builds and runs the scan benchmark under Wine: ScanBuilds against a bare directory walk.
#   bench/run-scan-bench.sh [folders] [hexPerFolder] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows --target scan_bench
exec scripts/with-display.sh tests/wine/run-wine.sh build/windows/bench/scan_bench.exe "$@"
