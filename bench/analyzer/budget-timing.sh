#!/usr/bin/env bash
# From "Memory Analyzer" to the analyzer window on screen, and from command 1004 to the "Budget and
# changes" window, in the real agent on real Arduino builds: p50, p95 and worst of each, with a kept
# previous build and without, for the agent of this tree and, when a commit is given, the agent as it
# stood there (its analyzer alone), side by side in one run, with the ratio of the analyzer's times.
# Usage: bench/analyzer/budget-timing.sh [before-commit] [runs]   (WINEPREFIX is honoured)
set -euo pipefail
cd "$(dirname "$0")/../.."
before=${1:-}
runs=${2:-10}
build=build/windows
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows >/dev/null
cmake --build "$build" -j2 --target kevra-agent budget_timing >/dev/null
agents=()
[ -n "$before" ] && agents+=("before=$(bench/watcher/agent-at.sh "$before")")
agents+=("after=$PWD/$build/core/kevra-agent.exe")
wine_path() { echo "Z:${1//\//\\}"; }
args=()
for a in "${agents[@]}"; do args+=("${a%%=*}=$(wine_path "${a#*=}")"); done
# The agent finds avr-size and avr-nm on WINEPATH: the shims of the Debian AVR tools.
export WINEPATH=$(wine_path "$PWD/$build/tests/wine/tools/avr-shims")
exec scripts/with-display.sh tests/wine/run-wine.sh "$build/bench/analyzer/budget_timing.exe" \
    "$(wine_path "$PWD/$build/tests/fixtures/real-builds")" "$runs" "${args[@]}"
