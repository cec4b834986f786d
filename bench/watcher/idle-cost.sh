#!/usr/bin/env bash
# What the agent costs while nothing is built: its CPU time and the Wine server's over 60 s, with an
# empty TEMP, a TEMP of 2,000 and one of 20,000 old build folders (two .hex in each), and a TEMP of
# 20,000 other files where a process makes and deletes ~DF*.tmp files twenty times a second (as the
# shell and Office do), for the agent of this tree and, when a commit is given, the agent as it stood
# there, one after the other in one run. With 20,000 builds, how fast the main window answers too.
# Usage: bench/watcher/idle-cost.sh [before-commit] [seconds] [cases]   (WINEPREFIX is honoured)
# cases: some of "empty big huge churn" (all by default).
set -euo pipefail
cd "$(dirname "$0")/../.."
before=${1:-}
seconds=${2:-60}
cases=${3:-empty big huge churn}
build=build/windows
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows >/dev/null
cmake --build "$build" -j2 --target kevra-agent watcher_latency >/dev/null
export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix}
work=$PWD/build/idle-cost
# The agent needs a display: run under one.
if [ -z "${DISPLAY:-}" ]; then exec scripts/with-display.sh "$0" "$@"; fi

rm -rf "$work"
mkdir -p "$work/empty" "$work/big" "$work/huge" "$work/churn"
agents=()
[ -n "$before" ] && agents+=("before=$(bench/watcher/agent-at.sh "$before")")
agents+=("after=$PWD/$build/core/kevra-agent.exe")
probe=$PWD/$build/bench/watcher/watcher_latency.exe
wine_path() { echo "Z:${1//\//\\}"; }
# CPU time in nanoseconds, summed over the threads of process $1 (the scheduler's own account, finer
# than the 10 ms ticks of /proc/PID/stat).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ t += $1 } END { printf "%.0f\n", t }'; }

measure() {   # label, TEMP folder name under $work, what to call it, [churn | answer]
    local label=$1 temp=$work/$2 shown=$3 extra=${4:-} folder=$work/agent-$1
    tests/wine/run-wine.sh "$probe" start "$(wine_path "$temp")\\" "$(wine_path "$folder/kevra-agent.exe")"
    local pid server="" dir s
    pid=$(pgrep -n -f "agent-$label.kevra-agent.exe" || true)
    # Its first whole scan done (less than 50 ms of CPU in 2 s, within 3 minutes), and a Wine server
    # that has settled.
    sleep 10
    local settled=0 t0 t1
    while [ -n "$pid" ] && [ "$settled" -lt 90 ]; do
        t0=$(cpu_ns "$pid"); sleep 2; t1=$(cpu_ns "$pid")
        [ $((t1 - t0)) -lt 50000000 ] && break
        settled=$((settled + 1))
    done
    # The prefix's Wine server works in a folder named after the prefix's device and inode.
    dir="server-$(printf %x "$(stat -c %d "$WINEPREFIX")")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
    for s in $(pgrep wineserver); do
        [ "$(basename "$(readlink "/proc/$s/cwd")")" = "$dir" ] && server=$s
    done
    if [ -z "$pid" ] || [ -z "$server" ]; then echo "$label: agent ($pid) or Wine server ($server) not found"; return; fi
    local a0 s0 a1 s1 churner=""
    if [ "$extra" = churn ]; then
        tests/wine/run-wine.sh "$probe" churn "$(wine_path "$temp")\\" "$((seconds + 5))" &
        churner=$!
    fi
    a0=$(cpu_ns "$pid"); s0=$(cpu_ns "$server")
    sleep "$seconds"
    a1=$(cpu_ns "$pid"); s1=$(cpu_ns "$server")
    [ -n "$churner" ] && wait "$churner"
    # After the CPU figures, so that the probe's messages are not in them.
    [ "$extra" = answer ] && tests/wine/run-wine.sh "$probe" answer "$seconds" | sed "s/^/$label  /"
    kill "$pid" 2>/dev/null || true
    sleep 2
    awk -v l="$label" -v k="$shown" -v a=$((a1 - a0)) -v s=$((s1 - s0)) -v t="$seconds" \
        'BEGIN { printf "%-8s %-14s %7.3f s %6.3f %%   %7.3f s %6.3f %%\n", l, k, a/1e9, 100*a/1e9/t, s/1e9, 100*s/1e9/t }'
}

has() { [[ " $cases " == *" $1 "* ]]; }
if has big; then tests/wine/run-wine.sh "$probe" tree "$(wine_path "$work/big")\\" 2000; fi
if has huge; then tests/wine/run-wine.sh "$probe" tree "$(wine_path "$work/huge")\\" 20000; fi
if has churn; then tests/wine/run-wine.sh "$probe" files "$(wine_path "$work/churn")\\" 20000; fi
echo "idle for $seconds s: CPU time of the agent and of the Wine server, and each as a share of one core"
printf "%-8s %-14s %18s   %18s\n" agent TEMP "agent" "Wine server"
for a in "${agents[@]}"; do
    label=${a%%=*}
    mkdir -p "$work/agent-$label"
    cp "${a#*=}" "$work/agent-$label/kevra-agent.exe"
    cp "$build/bench/watcher/kevra.exe" "$work/agent-$label/kevra.exe"
    if has empty; then measure "$label" empty "empty"; fi
    if has big; then measure "$label" big "2000 folders"; fi
    if has huge; then measure "$label" huge "20000 folders" answer; fi
    if has churn; then measure "$label" churn "~ churn" churn; fi
done
