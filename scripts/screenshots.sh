#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb into docs/: the main window with two builds listed, the
# how-to text of a first run, the analyzer window on the end-to-end fixture's real avr-nm and
# avr-size output, and the real agent's "Budget and changes" window on two real Arduino builds of one
# sketch (tests/fixtures), the first kept as the previous build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${KEVRA_BUILD:-build/windows}
if [ -z "${DISPLAY:-}" ]; then
    exec scripts/with-display.sh "$0" "$@"
fi
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target agent_demo analyzer_demo budget_demo >/dev/null
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
# Xvfb has no window manager to draw frames: let Wine draw the agent's captions itself (a prefix
# made by run-wine.sh already says so for every program).
tests/wine/run-wine.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# One agent per session: each demo's agent must be gone before the next one starts.
agent_gone() { for _ in $(seq 150); do pgrep -f 'kevra-agent\.exe' >/dev/null || return 0; sleep 0.2; done; }
demo=$build/tests/wine/e2e/agent_demo.exe
scripts/screenshot-window.sh "[kevra+ v0.3] Arduino compiler monitoring agent" docs/main-window.png "$demo" 8
agent_gone
scripts/screenshot-window.sh "kevra+ howto/about" docs/howto-dialog.png "$demo" 8 first-run
agent_gone
scripts/screenshot-window.sh "[kevra+ v0.3] Memory Analyzer: RoadFixture.hex" docs/analyzer-window.png \
    "$build/tests/wine/e2e/analyzer_demo.exe" 8
agent_gone
# The agent runs the Debian AVR tools through their shims, found on WINEPATH.
shims=$(cd "$build/tests/wine/tools/avr-shims" && pwd)
WINEPATH="Z:${shims//\//\\}" scripts/screenshot-window.sh "[kevra+ v0.3] Budget and changes: Game.hex" \
    docs/budget-window.png "$build/tests/wine/e2e/budget_demo.exe" 8
agent_gone
