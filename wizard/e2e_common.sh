# Shared by the wizard's end-to-end tests (sourced): waiting, the window, the program's life and
# the checks on the installation and the log that every platform's run must pass. The caller
# sets pid (the program) and folder (the installation) and runs in the folder of the log.

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
