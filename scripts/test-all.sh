#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively under ASan and UBSan, each fuzz
# target over its corpus, the Windows side under Wine, the 32-bit agent as a build only, and the x86_64
# agent users download (20 to 40 s more on two cores; scripts/package.sh builds the 32-bit one too).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

# The fuzz targets build, and each runs its seed inputs once. The seeds are named one by one: given a
# folder, libFuzzer would add what it finds to it. (Fuzzing itself is done by hand.)
cmake --preset fuzz
cmake --build --preset fuzz
for target in build/fuzz/tests/fuzz/*_fuzz; do
    "$target" "tests/fuzz/corpus/$(basename "$target" _fuzz)"/* 2>/dev/null
done

cmake --preset windows-x86
cmake --build --preset windows-x86
scripts/check-imports.sh i686-w64-mingw32-objdump build/windows-x86/core/kevra-agent.exe

cmake --preset windows-release
cmake --build --preset windows-release
scripts/check-release.sh x86_64-w64-mingw32- build/windows-release/core/kevra-agent.exe amd64
tests/release/check-release-test.sh build/windows-release/core/kevra-agent.exe

cmake --preset windows
cmake --build --preset windows
scripts/with-display.sh ctest --preset windows
