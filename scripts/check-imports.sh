#!/usr/bin/env bash
# Fails when the agent imports a DLL that is not part of Windows itself (a MinGW runtime DLL, say),
# which a user who downloads the one .exe would not have.
#   check-imports.sh <objdump> <agent.exe>
set -euo pipefail
objdump=$1
exe=$2
allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|comctl32|comdlg32|advapi32|shlwapi|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
names=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$names" ] || { echo "no imports read from $exe"; exit 1; }
bad=$(printf '%s\n' "$names" | grep -Ev "$allowed" || true)
echo "imports: $(echo $names)"
if [ -n "$bad" ]; then
    echo "not a Windows system DLL: $bad"
    exit 1
fi
