#!/usr/bin/env bash
# scripts/check-release.sh against executables that carry a release agent's resources with one fault
# each: it must pass the faithful copy and turn every faulty one down for the fault it has.
#   check-release-test.sh <x86_64 release kevra-agent.exe>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
agent=$1
check=$root/scripts/check-release.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tiny program with the agent's resources, edited by a sed script, in place of the agent.
echo 'int main(void) { return 0; }' >"$work/main.c"
x86_64-w64-mingw32-windres -J coff -O rc -i "$agent" -o "$work/agent.rc" || exit 1
with_resources() {  # sed script, output .exe, tool prefix (default x64)
    local tools=${3:-x86_64-w64-mingw32-}
    sed -e "$1" "$work/agent.rc" >"$work/edited.rc"
    "${tools}windres" -i "$work/edited.rc" -O coff -o "$work/edited.o" &&
        "${tools}gcc" -Os -s "$work/main.c" "$work/edited.o" -o "$2"
}

expect() {  # case name, expected message ("" to pass), check arguments...
    local name=$1 message=$2 output rc
    shift 2
    output=$("$check" "$@" 2>&1)
    rc=$?
    if [ -z "$message" ] && [ $rc -eq 0 ]; then return; fi
    if [ -n "$message" ] && [ $rc -ne 0 ] && grep -Fq -- "$message" <<<"$output"; then return; fi
    echo "FAILED: $name: expected ${message:-a pass}, exit $rc:"
    sed 's/^/    /' <<<"$output"
    failures=$((failures + 1))
}

# name | sed script on the agent's resources | what the check must say ("" for a pass)
cases=(
    'faithful copy||'
    'no how-to text|/^"HOWTO" RCDATA$/,/^END$/d|no how-to text HOWTO'
    'no icon group|/^"AICO" 14/,/^END$/d|no icon group AICO'
    'no version record|/^1 VERSIONINFO$/,/^END$/d|no version record'
    'record of another version|s/^ FILEVERSION .*/ FILEVERSION 9, 9, 9, 9/|FILEVERSION of the version record is not'
    'product number behind|s/^ PRODUCTVERSION .*/ PRODUCTVERSION 0, 0, 0, 1/|PRODUCTVERSION of the version record is not'
    'ProductVersion text behind|s/"ProductVersion", "[^"]*"/"ProductVersion", "9.9.9.9"/|ProductVersion is not'
    'no manifest|/^1 24 /,/^END$/d|no manifest'
    'manifest of another version|s/""kevra.agent"" version=""[^"]*""/""kevra.agent"" version=""9.9.9.9""/|manifest is not version'
    'common controls 5|s/Common-Controls"" version=""6.0.0.0""/Common-Controls"" version=""5.82.0.0""/|does not ask for the common controls'
    'common controls for x86|s/processorArchitecture=""amd64"" publicKeyToken/processorArchitecture=""x86"" publicKeyToken/|manifest is not for amd64 only'
)
for row in "${cases[@]}"; do
    IFS='|' read -r name script message <<<"$row"
    exe="$work/case.exe"
    rm -f "$exe"
    if ! with_resources "$script" "$exe"; then
        echo "FAILED: $name: could not build the case"
        failures=$((failures + 1))
        continue
    fi
    expect "$name" "$message" x86_64-w64-mingw32- "$exe" amd64
done

# Faults of the executable rather than its resources.
with_resources '' "$work/good.exe" || exit 1
expect 'an x64 agent checked as x86' 'not a pei-i386 executable' i686-w64-mingw32- "$work/good.exe" x86
cp "$work/good.exe" "$work/big.exe"
head -c $((600 * 1024)) /dev/zero >>"$work/big.exe"
expect '600 KB and more' 'not under 614400' x86_64-w64-mingw32- "$work/big.exe" amd64
# Linked without -static, a C++ program imports the MinGW runtime DLLs.
printf '#include <string>\nint main(int argc, char**) { return int(std::to_string(argc).size()); }\n' >"$work/dyn.cpp"
x86_64-w64-mingw32-g++-posix -Os -s "$work/dyn.cpp" "$work/edited.o" -o "$work/dyn.exe" || exit 1
expect 'a MinGW runtime DLL imported' 'not a Windows system DLL' x86_64-w64-mingw32- "$work/dyn.exe" amd64
with_resources '' "$work/x86.exe" i686-w64-mingw32- || exit 1
expect 'an x86 agent checked as x64' 'not a pei-x86-64 executable' x86_64-w64-mingw32- "$work/x86.exe" amd64

if [ $failures -ne 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
echo "check-release.sh: all cases behave"
