#!/usr/bin/env bash
# Builds the agent that users download, for 64-bit and for 32-bit Windows, checks each build
# (scripts/check-release.sh: size, imports, version record and manifest) and packs each with the
# user's README.txt into
#   build/dist/kevra-agent-<version>-win64.zip   and   build/dist/kevra-agent-<version>-win32.zip
# where <version> is base/Version.h's without its "v". KEVRA_BUILD_PREFIX (default "build/") is put
# before the build folders' names (windows-release, windows-x86-release) and before "dist".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

version=$(sed -n 's/^constexpr char VersionText\[\] = "v\([0-9][0-9.]*\)";.*/\1/p' base/Version.h)
[ -n "$version" ] || { echo "no version in base/Version.h"; exit 1; }
prefix=${KEVRA_BUILD_PREFIX:-build/}
dist=${prefix}dist
mkdir -p "$dist"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# CR LF: the Notepad of Windows 10 before 1809 shows a text with bare LF line ends as one line.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' resources/user-readme.txt >"$stage/README.txt"

zip_flat() {  # zip, files...: a new zip with the files at its top, under their own names
    local out=$1
    shift
    rm -f "$out"
    if command -v zip >/dev/null; then
        zip -q -X -j -9 "$out" "$@"
    else
        python3 - "$out" "$@" <<'EOF'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for path in sys.argv[2:]:
        z.write(path, os.path.basename(path))
EOF
    fi
}

summary=""
pack() {  # configure preset, tool prefix, manifest architecture, zip name's suffix
    local preset=$1 tools=$2 arch=$3 suffix=$4
    local build=$prefix$preset
    local exe=$build/core/kevra-agent.exe
    local zip=$dist/kevra-agent-$version-$suffix.zip
    cmake --preset "$preset" -B "$build"
    cmake --build "$build" --target kevra-agent
    local checked
    checked=$(scripts/check-release.sh "$tools" "$exe" "$arch") || { echo "$checked"; exit 1; }
    mkdir -p "$stage/$suffix"
    cp "$exe" "$stage/$suffix/kevra-agent.exe"
    zip_flat "$zip" "$stage/$suffix/kevra-agent.exe" "$stage/README.txt"
    summary+="$zip ($(stat -c %s "$zip") bytes)"$'\n'
    summary+=$(sed 's/^/    /' <<<"$checked")$'\n'
}

pack windows-release x86_64-w64-mingw32- amd64 win64
pack windows-x86-release i686-w64-mingw32- x86 win32
echo
printf '%s' "$summary"
if git rev-parse --git-dir >/dev/null 2>&1 && ! git diff --quiet HEAD --; then
    echo "note: built from a working tree with changes not committed"
fi
