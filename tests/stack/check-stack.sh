#!/usr/bin/env bash
# Holds a static stack-depth figure against what the builds really do: for every build that
# make-stack-builds.sh made, runs the build in simavr (simavr_deepest) and the static command on its
# .elf, and prints a table of the two. The static command prints one line,
#   up-to <bytes>                            the deepest the stack can go, or
#   at-least <bytes> <reason> <function>     no bound: at least this deep, <reason> in <function>.
# Each sketch says what it expects in a line "// stack-check: up-to" or
# "// stack-check: at-least <reason> <part of the function's name>". The checks of each build:
#   kind   the static line is of the kind the sketch expects (and names its reason and function);
#   sound  an up-to figure is at least the measured deepest (an at-least figure is a lower bound
#          and bounds nothing, so for it the kind is the whole of soundness);
#   tight  the figure is at most 1.25 x measured + 176 bytes. Every sketch's deepest path runs in
#          the simulated seconds, which is what makes this fair.
# The last column is where the probe saw the deepest stack. Exits 1 if any check of any build
# fails, 2 on bad arguments.
#   check-stack.sh [--probe SIMAVR_DEEPEST] [--seconds N] BUILDS_FOLDER STATIC_COMMAND [ARG...]
# STATIC_COMMAND is run as STATIC_COMMAND ARG... BUILD.elf. The probe is simavr_deepest on PATH
# unless given.
set -uo pipefail
shopt -s nullglob
probe=simavr_deepest seconds=2
while [ $# -gt 0 ]; do
    case $1 in
        --probe) probe=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        *) break ;;
    esac
done
[ $# -ge 2 ] || { echo "usage: $0 [--probe SIMAVR_DEEPEST] [--seconds N] BUILDS_FOLDER STATIC_COMMAND [ARG...]" >&2; exit 2; }
builds=$1
shift
[ -d "$builds/sketches" ] || { echo "$builds: no sketches folder (make-stack-builds.sh makes it)" >&2; exit 2; }

failures=0 count=0 name=
fail() { printf '%-14s %s\n' "$name" "$1"; failures=$((failures + 1)); }
printf '%-14s %8s  %-40s %-5s %-5s %-12s %s\n' build measured static kind sound "tight (limit)" "measured at"
for sketch in "$builds"/sketches/*/*.ino; do
    name=$(basename "$sketch" .ino)
    elf=$builds/$name/$name.ino.elf
    count=$((count + 1))
    expect=$(sed -n 's|^// stack-check: *||p' "$sketch" | head -n 1)
    read -r expectKind expectReason expectFunction <<< "$expect"
    case $expectKind in
        up-to) ;;
        at-least) [ -n "$expectFunction" ] || { fail "stack-check line without reason and function: $expect"; continue; } ;;
        *) fail "no stack-check line in $sketch"; continue ;;
    esac
    [ -f "$elf" ] || { fail "no $elf"; continue; }

    measuredLine=$("$probe" "$elf" "$seconds") || { fail "simavr_deepest failed: $measuredLine"; continue; }
    read -r word measured _ _ _ _ where _ <<< "$measuredLine"
    [[ $word == deepest && $measured =~ ^[0-9]+$ ]] || { fail "simavr_deepest said: $measuredLine"; continue; }

    staticOut=$("$@" "$elf") || { fail "the static command failed: $staticOut"; continue; }
    staticLine=${staticOut%%$'\n'*}
    read -r kind figure reason function <<< "$staticLine"
    [[ ($kind == up-to || $kind == at-least) && $figure =~ ^[0-9]+$ ]] ||
        { fail "the static command said: $staticLine"; continue; }

    kindOk=ok soundOk=ok tightOk=ok
    if [ "$kind" != "$expectKind" ]; then
        kindOk=FAIL
    elif [ "$kind" = at-least ] && { [ "$reason" != "$expectReason" ] || [[ $function != *"$expectFunction"* ]]; }; then
        kindOk=FAIL
    fi
    [ "$kind" = up-to ] && [ "$figure" -lt "$measured" ] && soundOk=FAIL
    [ "$kind" = at-least ] && soundOk=-
    limit=$(( measured * 125 / 100 + 176 ))   # whole bytes: a figure above it is above 1.25 x measured + 176
    [ "$figure" -gt "$limit" ] && tightOk=FAIL
    printf '%-14s %8s  %-40s %-5s %-5s %-12s %s\n' "$name" "$measured" "$staticLine" "$kindOk" "$soundOk" \
        "$tightOk ($limit)" "$where"
    case "$kindOk $soundOk $tightOk" in *FAIL*) failures=$((failures + 1)) ;; esac
done
[ $count -gt 0 ] || { echo "$builds: no builds" >&2; exit 1; }
[ $failures -eq 0 ] || { echo "$failures of $count builds failed" >&2; exit 1; }
echo "all $count builds pass"
