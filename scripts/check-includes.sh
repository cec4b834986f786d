#!/usr/bin/env bash
# Checks that the product's dependencies point one way. Fails, naming each offending line, when:
#  - ui/ includes anything of watcher/ or analyzer/, or of core/ beyond its base (Win32.h, Text.h,
#    SharedValues.h): ui/ builds windows for everyone and knows none of them;
#  - watcher/ and analyzer/ include each other, or the main window, the icon or the entry point;
#  - a file outside the main window's own (core/MainWindow*, core/TrayIcon*, core/Main*) includes the
#    main window or the icon;
#  - the watcher, the settings or the analysis run touch a window's controls: they return values or
#    post messages, and only a window's own code touches its controls;
#  - a portable source (one without the Win suffix) includes a Windows header.
# Usage: scripts/check-includes.sh [source root]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
status=0
fail() { echo "include direction: $*"; status=1; }

includes() {   # file -> the quoted project includes of the file, one per line
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"
}

for f in ui/*.h ui/*.cpp; do
    for inc in $(includes "$f"); do
        case $inc in
            ui/*|core/Win32.h|core/Text.h|core/SharedValues.h) ;;
            *) fail "$f includes $inc" ;;
        esac
    done
done

for f in watcher/*.h watcher/*.cpp analyzer/*.h analyzer/*.cpp; do
    own=${f%%/*}
    for inc in $(includes "$f"); do
        case $inc in
            core/MainWindow.h|core/TrayIcon.h|core/Main*) fail "$f includes $inc" ;;
            watcher/*|analyzer/*) [ "${inc%%/*}" = "$own" ] || fail "$f includes $inc" ;;
        esac
    done
done

for f in core/*.h core/*.cpp; do
    case $f in core/MainWindow*|core/TrayIcon*|core/Main*) continue ;; esac
    for inc in $(includes "$f"); do
        case $inc in
            core/MainWindow.h|core/TrayIcon.h) fail "$f includes $inc" ;;
        esac
    done
done

controls='GetDlgItem|SetDlgItemText|SendDlgItemMessage|EnableWindow|SetWindowText'
for f in watcher/*.cpp core/Settings*.cpp analyzer/AnalysisRun*.cpp; do
    [ -f "$f" ] || continue
    grep -nE "\\b($controls)[AW]?\\(" "$f" | while IFS= read -r line; do
        echo "include direction: $f touches a control: $line"
    done | grep . && status=1
done

# The project's headers that bring in Windows, directly or through another header.
windowsHeader='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|shellapi|shlobj|commctrl|commdlg|objbase)\.h>'
windowsHeaders=" "
for f in core/*.h watcher/*.h analyzer/*.h ui/*.h; do
    grep -qE "$windowsHeader" "$f" && windowsHeaders+="$f "
done
while :; do
    grew=0
    for f in core/*.h watcher/*.h analyzer/*.h ui/*.h; do
        case $windowsHeaders in *" $f "*) continue ;; esac
        for inc in $(includes "$f"); do
            case $windowsHeaders in *" $inc "*) windowsHeaders+="$f "; grew=1; break ;; esac
        done
    done
    [ $grew -eq 0 ] && break
done
for f in core/*.cpp watcher/*.cpp analyzer/*.cpp ui/*.cpp; do
    case $f in *Win.cpp) continue ;; esac
    grep -qE "$windowsHeader" "$f" && fail "$f is portable by its name but includes a Windows header"
    for inc in $(includes "$f"); do
        case $windowsHeaders in *" $inc "*) fail "$f is portable by its name but includes $inc, which brings in Windows" ;; esac
    done
done

[ $status -eq 0 ] && echo "include directions: all point one way"
exit $status
