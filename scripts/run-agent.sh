#!/usr/bin/env bash
# Builds the agent and starts it under Wine (on an Xvfb display when none is set).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset windows
cmake --build --preset windows --target kevra-agent
exec scripts/with-display.sh tests/wine/run-wine.sh build/windows/core/kevra-agent.exe
