#!/usr/bin/env bash
# Builds the agent as it stood at a commit, in a worktree under build/, and prints its .exe's path:
# the "before" of the watcher probes, built the same way as the agent of the working tree.
# Usage: bench/watcher/agent-at.sh <commit>
set -euo pipefail
cd "$(dirname "$0")/../.."
commit=$(git rev-parse --short "$1")
tree=build/agent-at-$commit
if [ ! -d "$tree/src" ]; then
    mkdir -p "$tree"
    git worktree add --detach "$tree/src" "$commit" >/dev/null 2>&1
fi
if [ ! -f "$tree/build/core/kevra-agent.exe" ]; then
    cmake -S "$tree/src" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEVRA_TESTS=OFF \
          -DCMAKE_TOOLCHAIN_FILE="$PWD/$tree/src/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$tree/build" -j2 --target kevra-agent >/dev/null
fi
echo "$PWD/$tree/build/core/kevra-agent.exe"
