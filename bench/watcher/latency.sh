#!/usr/bin/env bash
# From each .hex's write time to the simulator's start, in the real agent: p50, p95 and worst over
# the builds of one schedule, with the missed and doubled ones, for the agent of this tree and, when a
# commit is given, the agent as it stood there, side by side in one run.
# Usage: bench/watcher/latency.sh [before-commit] [seed] [builds]   (WINEPREFIX is honoured)
set -euo pipefail
cd "$(dirname "$0")/../.."
before=${1:-}
seed=${2:-20261210}
builds=${3:-120}
build=build/windows
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows >/dev/null
cmake --build "$build" -j2 --target kevra-agent watcher_latency >/dev/null
agents=()
[ -n "$before" ] && agents+=("before=$(bench/watcher/agent-at.sh "$before")")
agents+=("after=$PWD/$build/core/kevra-agent.exe")
wine_path() { echo "Z:${1//\//\\}"; }
args=()
for a in "${agents[@]}"; do args+=("${a%%=*}=$(wine_path "${a#*=}")"); done
exec scripts/with-display.sh tests/wine/run-wine.sh "$build/bench/watcher/watcher_latency.exe" latency "$seed" "$builds" "${args[@]}"
