# Shared by the wizard's end-to-end tests (sourced once work, the temporary folder, and shots,
# where the screenshots and the log are kept, are set): the private X server, cleaning up and
# failing, waiting, the window, the program's life, and the checks on the installation and the
# log that every platform's run must pass. The caller sets pid (the program) and folder (the
# installation), runs the program in $work/run and may set stopExtra to end more at the exit.

pid=
xvfb=
stopExtra=:
cleanup() {
    [[ -z "$pid" ]] || kill "$pid" 2>/dev/null || true
    $stopExtra
    if [[ -n "$xvfb" ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
keepLog() { [[ ! -f "$work/run/Kwastor.log" ]] || cp "$work/run/Kwastor.log" "$shots/Kwastor.log"; }
fail() {
    echo "FAIL: $*"
    keepLog
    # The log is in Windows-1252.
    [[ ! -f "$shots/Kwastor.log" ]] || iconv -f WINDOWS-1252 -t UTF-8 "$shots/Kwastor.log" |
        tr -d '\r' | tail -20
    exit 1
}

# A private X server (startXvfb <width>x<height>). It picks a free display number itself and
# tells it once it listens. Without -noreset it would reset whenever its last client leaves,
# turning away a client that connects in that moment.
startXvfb() {
    mkfifo "$work/display"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$1x24" 3>"$work/display" 2>/dev/null &
    xvfb=$!
    read -r -t 30 number <"$work/display" || fail "Xvfb did not come up"
    export DISPLAY=":$number"
}

waitFor() { # waitFor <seconds> <command...>
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
logHas() { [[ -f Kwastor.log ]] && grep -qF -- "$1" Kwastor.log; }
windowId() { xdotool search --onlyvisible --name '^Bijwerken van Vondelux$' 2>/dev/null | head -1; }
windowOpen() { [[ -n "$(windowId)" ]]; }
running() { kill -0 "$pid" 2>/dev/null; }
ended() { ! running; }

# The installation holds the payload's files and pictograms, the database is sound, and the log
# holds the four steps, the free-space record and a clean end.
checkUpdated() { # checkUpdated <kwastor-jet>
    files=$(find "$folder/pictogrammen" "$folder/geluiden" "$folder/thumbs" -type f | wc -l)
    ((files == 1232)) || fail "$files files written instead of 1232"
    # The database is an Access file: counted by an independent reader, checked index by index.
    added=$(mdb-export "$folder/picbase.pbd" pictogram | awk -F, 'NR > 1 && $1 >= 1173' | wc -l)
    ((added == 308)) || fail "$added pictograms added instead of 308"
    "$1" check "$folder/picbase.pbd" --password kolibrie >/dev/null ||
        fail "the database is not sound after the update"

    local steps
    steps=$(tr -d '\r' <Kwastor.log | grep -o 'Beginnen met stap [0-9]*\.' | tr '\n' ' ')
    [[ "$steps" == "Beginnen met stap 1. Beginnen met stap 2. Beginnen met stap 3. Beginnen met stap 4. " ]] ||
        fail "step records: $steps"
    logHas "AvailableDiskSpace() : " || fail "no free-space record"
    logHas "Succesvol afgesloten." || fail "no closing record"
    logHas "Logging ended." || fail "the log was not ended"
    ! logHas "Fout in stap" || fail "a step logged a failure"
}
