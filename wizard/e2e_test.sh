#!/bin/bash
# End to end: the real program, started without arguments under a private Xvfb, finds a
# fresh test installation through a Wine-like prefix and is clicked through its four steps.
# Afterwards the installation holds the 1,232 files and 308 new pictograms, and the log tells
# the same story. A screenshot of each step and the log are left in <build>/e2e/.
#   e2e_test.sh <build folder>
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick's import or sqlite3 is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

build=$(cd "$1" && pwd)
for tool in Xvfb xdotool import sqlite3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
shots="$build/e2e"
mkdir -p "$work/run" "$shots"
# shellcheck source=e2e_common.sh
source "$here/e2e_common.sh"
startXvfb 800x360

export WINEPREFIX="$work/prefix"
folder="$WINEPREFIX/drive_c/Program Files/Merodaan"
"$build/make-test-installation" "$folder" >/dev/null
cd "$work/run"

# The window's layout is in twips; a fixed 96 dpi puts Next where the clicks expect it.
QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 XDG_RUNTIME_DIR="$work" "$build/kwastor" &
pid=$!

waitFor 30 windowOpen || fail "the wizard window did not open"
wid=$(windowId)
waitFor 10 logHas "Beginnen met stap 1." || fail "step 1 was not entered"

shot() { # shot <step>: the screen as the user sees it, once the window has repainted
    sleep 0.5
    import -window root "$shots/step$1-screen.png"
    import -window "$wid" "$shots/step$1.png"
}
next() { # the centre of Next: 8827 x 2347 twips, at 15 twips a pixel
    xdotool mousemove --window "$wid" 588 156 click 1
}

shot 1
next
waitFor 60 logHas "Stap 2 met succes doorlopen." || fail "step 2 did not pass"
shot 2
next
waitFor 300 logHas "Stap 3 met succes doorlopen." || fail "step 3 did not pass"
shot 3
next
waitFor 30 logHas "Beginnen met stap 4." || fail "step 4 was not entered"
shot 4
next
waitFor 30 ended || fail "the program did not end after Afsluiten"
status=0
wait "$pid" || status=$?
pid=
((status == 0)) || fail "the program ended with status $status"

checkUpdated "$build/kwastor-jet"
keepLog
echo "PASS: four steps, $files files, $added pictograms; screenshots and the log in $shots"
