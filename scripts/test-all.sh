#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively under ASan and UBSan, the
# Windows side under Wine, and the 32-bit agent as a build only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

cmake --preset windows-x86
cmake --build --preset windows-x86
scripts/check-imports.sh i686-w64-mingw32-objdump build/windows-x86/core/kevra-agent.exe

cmake --preset windows
cmake --build --preset windows
scripts/with-display.sh ctest --preset windows
