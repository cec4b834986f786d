#!/usr/bin/env bash
# Makes the real Arduino builds of the stack-depth checks: every sketch of
# tests/fixtures/sketches/stack/ built for the Leonardo as the IDE does (the builder of
# tests/fixtures/arduino-builder.sh), each in a folder named after it under the folder given:
#   <Name>/<Name>.ino.elf   with the rest of the builder's output beside it
#   sketches/<Name>/<Name>.ino   the sketch as built, with its stack-check line (check-stack.sh)
#   <Name>.log              the builder's output
# Prints the builder's "Sketch uses" and "Global variables use" lines of each, after its name.
# Fails if any sketch does not build or does not fit.
#   make-stack-builds.sh OUTPUT_FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT_FOLDER" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
sketches=$here/../fixtures/sketches/stack
out=$(mkdir -p "$1" && cd "$1" && pwd)
source "$here/../fixtures/arduino-builder.sh"

built=0
for source in "$sketches"/*.ino; do
    name=$(basename "$source" .ino)
    rm -rf "${out:?}/$name" "$out/sketches/$name"
    mkdir -p "$out/sketches/$name"
    cp "$source" "$out/sketches/$name/$name.ino"
    status=0
    arduino_build "$out/sketches/$name/$name.ino" "$out/$name" > "$out/$name.log" 2>&1 || status=$?
    if [ $status -ne 0 ] || [ ! -f "$out/$name/$name.ino.elf" ]; then
        cat "$out/$name.log" >&2
        echo "$name: the build failed (status $status)" >&2
        exit 1
    fi
    grep -E '^(Sketch uses|Global variables use)' "$out/$name.log" | sed "s/^/$name: /"
    built=$((built + 1))
done
[ $built -gt 0 ] || { echo "no sketches in $sketches" >&2; exit 1; }
