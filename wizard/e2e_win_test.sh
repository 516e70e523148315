#!/bin/bash
# End to end on Windows, under Wine: kwastor.exe started without arguments finds a fresh test
# installation under the prefix's program-files folder, opens and cancels the folder dialog and is
# clicked and keyed through its four steps with xdotool. Afterwards the installation holds the
# same files and database rows as a twin that the Linux program's command-line modes updated, and
# the log tells the story of the four steps. A second run is closed during step 3. A screenshot
# of each step, of the folder dialog and the first run's log are left in <build-win>/e2e-win/. A
# third run beside a window of Vondelux's class and title is refused in step 2.
#   e2e_win_test.sh <build-win folder> <Linux build folder>
# Exits 77 (skipped) when a tool is missing or Wine can't start at all.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

build=$(cd "$1" && pwd)
host=$(cd "$2" && pwd)
for tool in wine wineboot wineserver Xvfb xdotool import mdb-export; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
shots="$build/e2e-win"
mkdir -p "$work/run" "$work/twin-run" "$shots"
# A prefix of its own, made afresh: the installation goes into its program-files folder, where
# no other test looks.
export WINEPREFIX="$build/wine-wizard" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# shellcheck source=e2e_common.sh
source "$here/e2e_common.sh"
stopExtra="wineserver --kill"
# The test command gives an X display; started by hand without one, use a private Xvfb.
[[ -n "${DISPLAY:-}" ]] || startXvfb 1280x1024

rm -rf "$WINEPREFIX"
if ! out=$(wineboot --init 2>&1 && wineserver --wait 2>&1); then
    echo "SKIP: Wine can't start: $out"
    exit 77
fi
# A prefix of 32-bit Wine names it "Program Files", of 64-bit Wine "Program Files (x86)".
programFiles="$WINEPREFIX/drive_c/Program Files (x86)"
[[ -d "$programFiles" ]] || programFiles="$WINEPREFIX/drive_c/Program Files"
folder="$programFiles/Merodaan"
# The twin is updated by the Linux program, which scripts/build-windows.sh does not build.
[[ -x "$host/kwastor" ]] || fail "$host/kwastor is missing: build it (ninja -C $host kwastor)"
"$host/make-test-installation" "$folder" >/dev/null
"$host/make-test-installation" "$work/twin" >/dev/null
(cd "$work/twin-run" && "$host/kwastor" bestanden "$work/twin" >/dev/null 2>&1 &&
    "$host/kwastor" database "$work/twin" >/dev/null 2>&1) ||
    fail "the Linux program did not update the twin installation"

cd "$work/run"
wine "$build/kwastor.exe" >/dev/null 2>&1 &
pid=$!

waitFor 60 windowOpen || fail "the wizard window did not open"
wid=$(windowId)
waitFor 10 logHas "Beginnen met stap 1." || fail "step 1 was not entered"

shot() { # shot <step>: the window as the user sees it, once it has repainted
    sleep 1
    import -window "$wid" "$shots/step$1.png"
}
# Next and the keyboard rules: a click on its centre (8827 x 2347 twips, 15 twips a pixel at
# Wine's 96 dpi), Return and keypad Enter with no button focused.
click() { xdotool mousemove --window "$wid" 588 156 click 1; }
key() { xdotool windowfocus --sync "$wid" key "$1"; }

shot 1
# "Wijzigen..." opens the shell's folder dialog; a cancel changes nothing, so Next still leads to
# step 2. (Wine's dialog does not open inside "Program Files", so its own choice is not confirmed.)
xdotool mousemove --window "$wid" 588 60 click 1
dialogId() { xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$wid" | head -1; }
dialogOpen() { [[ -n "$(dialogId)" ]]; }
waitFor 30 dialogOpen || fail "the folder dialog did not open"
dialog=$(dialogId)
sleep 1
import -window "$dialog" "$shots/folder-dialog.png"
xdotool windowfocus --sync "$dialog" key Escape
waitFor 30 eval '! dialogOpen' || fail "the folder dialog did not close"
click
waitFor 60 logHas "Stap 2 met succes doorlopen." || fail "step 2 did not pass"
shot 2
key Return
waitFor 300 logHas "Stap 3 met succes doorlopen." || fail "step 3 did not pass"
shot 3
key KP_Enter
waitFor 30 logHas "Beginnen met stap 4." || fail "step 4 was not entered"
shot 4
click
waitFor 30 ended || fail "the program did not end after Afsluiten"
status=0
wait "$pid" || status=$?
pid=
((status == 0)) || fail "the program ended with status $status"

checkUpdated "$host/kwastor-jet"
# Byte for byte the files of the Linux command-line modes, and the same rows.
for sub in pictogrammen geluiden thumbs; do
    diff -r "$work/twin/$sub" "$folder/$sub" >/dev/null || fail "$sub differs from the Linux run"
done
for table in categorie pictogram categorie_pictogram; do
    cmp -s <(mdb-export "$work/twin/picbase.pbd" "$table" | sort) \
        <(mdb-export "$folder/picbase.pbd" "$table" | sort) ||
        fail "table $table differs from the Linux run"
done
keepLog

# Closing the window (Alt+F4) while step 3 writes the files ends the work through its failure
# road and the program with status 0, before the database is touched.
mv Kwastor.log first-run.log
rm -f Kwastor.log.bak
wine "$build/kwastor.exe" >/dev/null 2>&1 &
pid=$!
waitFor 60 windowOpen || fail "the wizard window did not open again"
wid=$(windowId)
waitFor 10 logHas "Beginnen met stap 1." || fail "step 1 was not entered again"
click
waitFor 60 logHas "Stap 2 met succes doorlopen." || fail "step 2 did not pass again"
checked=$(md5sum <"$folder/picbase.pbd")
click
waitFor 30 logHas "SaveResourceToFile() : " || fail "step 3 did not start writing"
xdotool key --window "$wid" alt+F4
waitFor 30 ended || fail "closing the window during step 3 did not end the program"
status=0
wait "$pid" || status=$?
pid=
((status == 0)) || fail "closed during step 3, the program ended with status $status"
logHas "Het bijwerken is afgebroken: het venster is gesloten." ||
    fail "the work did not end through its failure road (or ended before the close)"
logHas "Fout in stap 3: bestanden konden niet worden opgeslagen." || fail "no step 3 failure record"
logHas "Logging ended." || fail "the log was not ended after the close"
[[ "$(md5sum <"$folder/picbase.pbd")" == "$checked" ]] || fail "the database changed after the close"

# Vondelux running (a window of its class and title, as the stand-in shows one) makes step 2
# refuse before it opens the database; the window then only closes.
mv Kwastor.log second-run.log
rm -f Kwastor.log.bak
wine "$build/tests/vondelux-standin.exe" ThunderRT6MDIForm Vondelux >"$work/standin.out" 2>&1 &
standin=$!
stopBoth() {
    kill "$standin" 2>/dev/null || true
    wineserver --kill
}
stopExtra=stopBoth
waitFor 60 grep -q ready "$work/standin.out" || fail "the Vondelux stand-in did not start"
checked=$(md5sum <"$folder/picbase.pbd")
wine "$build/kwastor.exe" >/dev/null 2>&1 &
pid=$!
waitFor 60 windowOpen || fail "the wizard window did not open a third time"
wid=$(windowId)
waitFor 10 logHas "Beginnen met stap 1." || fail "step 1 was not entered a third time"
click
waitFor 30 logHas "Beginnen met stap 2." || fail "step 2 was not entered beside Vondelux"
sleep 5
! logHas "Stap 2 met succes doorlopen." || fail "step 2 passed while Vondelux was running"
shot 2-vondelux-open
xdotool key --window "$wid" alt+F4
waitFor 30 ended || fail "the window refused beside Vondelux did not close"
pid=
[[ "$(md5sum <"$folder/picbase.pbd")" == "$checked" ]] ||
    fail "the database changed while Vondelux was running"
echo "PASS: four steps, $files files and $added pictograms as on Linux, a close during the work, and step 2 refused beside a running Vondelux; screenshots and the log in $shots"
