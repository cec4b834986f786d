#!/usr/bin/env bash
# Fails when an agent built for users is not what a user should download: built for another
# processor, 600 KB or larger (a debug-info build is ten times that), importing a DLL that Windows
# does not bring, or missing a resource: the version record (Explorer's Details tab) with the version
# of base/Version.h, the manifest for this processor that asks for version 6 of the common controls
# (and is long-path aware, declares Windows 10/11 and asks for GDI scaling without DPI awareness),
# the icon "AICO" or the how-to text "HOWTO". Prints the size and the imports.
#   check-release.sh <tool prefix> <agent.exe> <amd64|x86>
# The prefix goes before objdump and windres: "x86_64-w64-mingw32-" on Debian, "" in an MSYS2 shell.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
exe=$2
arch=$3
limit=$((600 * 1024))
fail() { echo "$exe: $*"; exit 1; }

case $arch in
    amd64) format=pei-x86-64 ;;
    x86) format=pei-i386 ;;
    *) echo "unknown architecture $arch (amd64 or x86)"; exit 2 ;;
esac
"${prefix}objdump" -f "$exe" | grep -q "file format $format\$" || fail "not a $format executable"

size=$(stat -c %s "$exe")
echo "size: $size bytes ($(( (size + 1023) / 1024 )) KB)"
[ "$size" -lt "$limit" ] || fail "$size bytes, not under $limit"

"$here/check-imports.sh" "${prefix}objdump" "$exe"

# "v0.3" in base/Version.h is 0.3.0.0 in the version record and the manifest.
version=$(sed -n 's/^constexpr char VersionText\[\] = "v\([0-9][0-9.]*\)";.*/\1/p' "$here/../base/Version.h")
[ -n "$version" ] || { echo "no version in base/Version.h"; exit 1; }
IFS=. read -r v1 v2 v3 v4 <<<"$version"
dotted="$v1.${v2:-0}.${v3:-0}.${v4:-0}"

# windres turns the .exe's resources back into .rc text: a manifest as quoted lines with "" for ".
rc=$("${prefix}windres" -J coff -O rc -i "$exe")
grep -Eq '^"AICO" 14( |$)' <<<"$rc" || fail "no icon group AICO"
grep -Eq '^"HOWTO" RCDATA$' <<<"$rc" || fail "no how-to text HOWTO"
grep -Eq '^1 VERSIONINFO$' <<<"$rc" || fail "no version record"
for key in FILEVERSION PRODUCTVERSION; do
    grep -Fxq " $key ${dotted//./, }" <<<"$rc" || fail "$key of the version record is not $dotted"
done
for key in FileVersion ProductVersion; do
    grep -Fq "VALUE \"$key\", \"$dotted\"" <<<"$rc" || fail "$key is not $dotted"
done
manifest=$(sed -n '/^1 24 /,/^END$/p' <<<"$rc" | sed -n 's/^ *"\(.*\)"$/\1/p' | sed 's/""/"/g; s/\\n$//')
[ -n "$manifest" ] || fail "no manifest"
grep -Fq "name=\"kevra.agent\" version=\"$dotted\"" <<<"$manifest" || fail "manifest is not version $dotted"
grep -Fq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" \
    || fail "manifest does not ask for the common controls 6.0.0.0"
for setting in '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
               '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>' \
               '<gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true</gdiScaling>'; do
    grep -Fq "$setting" <<<"$manifest" || fail "manifest lacks $setting"
done
! grep -q 'dpiAware' <<<"$manifest" || fail "manifest makes the agent DPI-aware: its windows would lose their layout"
architectures=$(grep -o 'processorArchitecture="[^"]*"' <<<"$manifest" | sort -u)
[ "$architectures" = "processorArchitecture=\"$arch\"" ] || fail "manifest is not for $arch only: $architectures"
echo "resources: version $dotted, manifest for $arch (Windows 10/11, long paths, GDI scaling), icon, how-to"
