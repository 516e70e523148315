#!/usr/bin/env bash
# Runs kwastor.exe under Wine from the command line, as a user on Windows would, beside the Linux
# program on twin installations: both modes must leave the very same files and rows, the log is
# ANSI (Windows-1252) with the upper-cased backslash folder, and every failure shows its message
# boxes, which are found and dismissed with xdotool, and ends with status 1.
#   wine_test.sh <wine-run.sh> <prefix> <kwastor.exe> <vondelux-standin.exe> <Linux build tree>
# Exits 77 (skipped) only when Wine can't start at all.
set -uo pipefail
winerun=$1
prefix=$2
exe=$3
standin=$4
host=$5
# shellcheck source=/dev/null
source "$(dirname "$0")/../scripts/checks.sh"

work=$(mktemp -d)
xvfb=
standinPid=
cleanup() {
  [[ -z "$standinPid" ]] || kill "$standinPid" 2>/dev/null
  [[ -z "$xvfb" ]] || kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if ! out=$("$winerun" "$prefix" cmd /c exit 0 2>&1); then
  echo "SKIP: Wine can't start: $out"
  exit 77
fi
# The test command gives an X display; started by hand without one, use a private Xvfb.
if [[ -z "${DISPLAY:-}" ]]; then
  mkfifo "$work/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
  xvfb=$!
  read -r -t 30 number <"$work/display" || { echo "FAIL Xvfb did not come up"; exit 1; }
  export DISPLAY=":$number"
fi

winPath() { local p=${1//\//\\}; echo "Z:$p"; } # the Windows name of a Linux path
ansi() { iconv -f UTF-8 -t WINDOWS-1252 <<<"$1" | tr -d '\n'; }

# run <folder> <args...>: runs kwastor.exe in <folder> (where its log goes), dismisses each of
# its message boxes and notes its title; sets status and boxes (the titles, blank-separated).
run() {
  local dir=$1 pid id deadline=$((SECONDS + 120))
  shift
  (cd "$dir" && exec "$winerun" "$prefix" "$exe" "$@") >/dev/null 2>&1 &
  pid=$!
  boxes=
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS < deadline)) || { kill "$pid"; echo "FAIL kwastor.exe $* did not end"; break; }
    id=$(xdotool search --onlyvisible --name '^(Kwastor|Log::.*)$' 2>/dev/null | head -1)
    if [[ -n "$id" ]]; then
      boxes+=" $(xdotool getwindowname "$id")"
      xdotool windowfocus --sync "$id" key Return 2>/dev/null
      while xdotool search --onlyvisible --name '^(Kwastor|Log::.*)$' 2>/dev/null | grep -qx "$id" &&
        ((SECONDS < deadline)); do
        sleep 0.1
      done
    fi
    sleep 0.2
  done
  wait "$pid"
  status=$?
}

# Twin installations: one for the Linux program, one for kwastor.exe, whose folder name also
# tries the code page (é is one byte in Windows-1252, and upper-cases to É).
"$host/make-test-installation" "$work/linux" >/dev/null &&
  "$host/make-test-installation" "$work/win/café" >/dev/null || { echo "FAIL installations"; exit 1; }
mkdir -p "$work/run" "$work/linux-run"
win=$work/win/café
folder=$(winPath "${work^^}")'\WIN\CAFÉ\'

(cd "$work/linux-run" && "$host/kwastor" bestanden "$work/linux" && "$host/kwastor" database "$work/linux")
check "the Linux program updated its twin" 0 "$?"
for mode in bestanden database; do
  run "$work/run" "$mode" "$(winPath "$win")"
  check "$mode: status" 0 "$status"
  check "$mode: no message box" "" "$boxes"
  [[ $mode == database ]] || mv "$work/run/Kwastor.log" "$work/files.log"
done
check "both modes: the same files as the Linux program's, byte for byte" "" \
  "$(diff -r --exclude=picbase.pbd "$work/linux" "$win" 2>&1)"
check "both modes: 1232 files" 1232 "$(find "$win" -type f -name 'i*' | wc -l)"
jet=$host/kwastor-jet
check "database mode: the same rows as the Linux program's" "" \
  "$(diff <("$jet" dump "$work/linux/picbase.pbd" --password kolibrie) \
    <("$jet" dump "$win/picbase.pbd" --password kolibrie) 2>&1)"
check "database mode: the database is sound" sound "$("$jet" check "$win/picbase.pbd" --password kolibrie)"

# The log: Windows-1252 with CR LF, the folder upper-cased with backslashes.
log=$work/files.log
check "log: every line ends with CR LF" 0 "$(grep -vc $'\r$' "$log")"
check "log: one record per file" 1232 "$(grep -c "^..:..:.. - SaveResourceToFile() : kopieren van '" "$log")"
check "log: the first file, in Windows-1252" 1 \
  "$(grep -cxF "$(ansi "SaveResourceToFile() : kopieren van '${folder}pictogrammen\i1173.wmf'")"$'\r' \
    <(cut -c12- "$log"))"
check "log: the last file" 1 \
  "$(grep -cxF "$(ansi "SaveResourceToFile() : kopieren van '${folder}thumbs\i1480.bmp'")"$'\r' \
    <(cut -c12- "$log"))"
check "log: nothing in UTF-8" 0 "$(grep -c $'\xc3' "$log")"
check "log: the end record" 1 "$(tail -n 1 "$log" | grep -c ' - Logging ended.'$'\r')"

# Failure roads, one a line: case | setup | mode and folder | message box titles | a log line.
# Setups: "hold <file>" starts the stand-in holding <file> open without sharing, as Vondelux
# holds its database; "log" puts a log in the run folder first.
missing=$(winPath "$work/missing")
tab=$'\t' # a described path goes to the log as its format: the "\t" of "\thumbs" is a tab
while IFS='|' read -r name setup args titles logline; do
  rm -rf "$work/fail" && mkdir "$work/fail"
  failed=$failures
  cp "$win/picbase.pbd" "$work/before.pbd"
  if [[ $setup == hold* ]]; then
    [[ $setup != *Kwastor.log ]] || echo "een vorig logboek" >"$work/fail/Kwastor.log"
    held=${setup#hold }
    "$winerun" "$prefix" "$standin" Merodaan "Houder" "$(winPath "$held")" >"$work/standin.out" &
    standinPid=$!
    ready=no
    for _ in $(seq 300); do
      if grep -q ready "$work/standin.out" 2>/dev/null; then
        ready=yes
        break
      fi
      sleep 0.1
    done
    check "$name: the stand-in holds $held" yes "$ready"
  fi
  # shellcheck disable=SC2086
  run "$work/fail" $args
  [[ -z "$standinPid" ]] || { kill "$standinPid"; wait "$standinPid" 2>/dev/null; standinPid=; }
  check "$name: status" 1 "$status"
  check "$name: message boxes" "$titles" "${boxes# }"
  if [[ -n $logline ]]; then
    check "$name: the log says why" 1 \
      "$(tr -d '\r' <"$work/fail/Kwastor.log" | grep -cF "$(ansi "$logline")")"
  fi
  check "$name: the database is as it was" "" "$(cmp "$work/before.pbd" "$win/picbase.pbd" 2>&1)"
  ((failures == failed)) || tail -n 4 "$work/fail/Kwastor.log"
done <<EOF
files into a missing folder|-|bestanden $missing|Kwastor Kwastor Kwastor|SaveResourceToFile() : Fout tijdens het maken van bestand '${missing^^}\\pictogrammen\\i1173.wmf'
a missing database|-|database $missing|Kwastor Kwastor Kwastor|Connect() : Database '${missing^^}\\picbase.pbd' bestaat niet
a database held open|hold $win/picbase.pbd|database $(winPath "$win")|Kwastor Kwastor Kwastor|Connect() : Database '${folder}picbase.pbd' kan niet gelezen worden
a media file held open|hold $win/thumbs/i1173.bmp|bestanden $(winPath "$win")|Kwastor Kwastor Kwastor|SaveResourceToFile() : Fout tijdens het maken van bestand '${folder%\\}${tab}humbs\\i1173.bmp'
a log held open|hold $work/fail/Kwastor.log|bestanden $missing|Log::OpenLog() Kwastor Kwastor|
EOF
check "a log held open: the old log is kept" "een vorig logboek" "$(cat "$work/fail/Kwastor.log")"

checks_done
