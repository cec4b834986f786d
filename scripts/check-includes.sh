#!/usr/bin/env bash
# Checks the floors of the house: every project include points down or stays on its own floor.
#  - base/ (shared text, Win32 wrappers, the shared values, the program's folders, the IDE's files)
#    includes nothing of the project outside base/;
#  - ui/, watcher/ and analyzer/ include base/ and their own folder, and none knows core/; the
#    analyzer's window is built with ui/'s window builder, so analyzer/ may include ui/ as well, and
#    ui/ knows neither the watcher nor the analyzer;
#  - core/ is the roof. Its settings and its text include base/ and core/; the entry point and the
#    notification icon may also include ui/; only the main window's own files (core/MainWindow*)
#    include watcher/ and analyzer/;
#  - the watcher, the settings and the analysis run touch no window's controls: they return values
#    or post messages, and only a window's own code touches its controls;
#  - a portable source (one without the Win suffix) includes no Windows header, not even through
#    another header of the project.
# Fails naming each offending line. Usage: scripts/check-includes.sh [source root]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
status=0
fail() { echo "include direction: $*"; status=1; }
floors="base core ui watcher analyzer"

includes() {   # file -> the quoted project includes of the file, one per line
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"
}
sources() {    # folder -> its .h and .cpp files
    find "$1" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort
}

# What each file may include, as the folders (floors) it may reach besides its own.
may_include() {   # file -> the floors it may include
    case $1 in
        base/*) echo "base" ;;
        ui/*|watcher/*) echo "base ${1%%/*}" ;;
        analyzer/*) echo "base analyzer ui" ;;
        core/MainWindow*) echo "base core ui watcher analyzer" ;;
        core/MainWin*|core/TrayIcon*) echo "base core ui" ;;
        core/*) echo "base core" ;;
    esac
}

for floor in $floors; do
    for f in $(sources "$floor"); do
        allowed=" $(may_include "$f") "
        for inc in $(includes "$f"); do
            case $inc in */*) ;; *) fail "$f includes $inc, which names no floor"; continue ;; esac
            case $allowed in *" ${inc%%/*} "*) ;; *) fail "$f includes $inc" ;; esac
        done
    done
done

controls='GetDlgItem|SetDlgItemText|SendDlgItemMessage|EnableWindow|SetWindowText'
for f in watcher/*.cpp core/Settings*.cpp analyzer/AnalysisRun*.cpp base/*.cpp; do
    [ -f "$f" ] || continue
    grep -nE "\\b($controls)[AW]?\\(" "$f" | while IFS= read -r line; do
        echo "include direction: $f touches a control: $line"
    done | grep . && status=1
done

# The project's headers that bring in Windows, directly or through another header.
windowsHeader='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|shellapi|shlobj|commctrl|commdlg|objbase)\.h>'
headers=$(for floor in $floors; do sources "$floor"; done | grep '\.h$')
windowsHeaders=" "
for f in $headers; do
    grep -qE "$windowsHeader" "$f" && windowsHeaders+="$f "
done
while :; do
    grew=0
    for f in $headers; do
        case $windowsHeaders in *" $f "*) continue ;; esac
        for inc in $(includes "$f"); do
            case $windowsHeaders in *" $inc "*) windowsHeaders+="$f "; grew=1; break ;; esac
        done
    done
    [ $grew -eq 0 ] && break
done
for floor in $floors; do
    for f in $(sources "$floor"); do
        case $f in *Win.cpp|*.h) continue ;; esac
        grep -qE "$windowsHeader" "$f" && fail "$f is portable by its name but includes a Windows header"
        for inc in $(includes "$f"); do
            case $windowsHeaders in *" $inc "*) fail "$f is portable by its name but includes $inc, which brings in Windows" ;; esac
        done
    done
done

[ $status -eq 0 ] && echo "include directions: every floor includes only the floors below it"
exit $status
