# Shared by the shell tests: `check <name> <expected> <actual>` counts a pass or prints the
# difference; `checks_done` prints the closing "N passed, N failed" line and fails if any failed.
failures=0
passes=0

check() {
  if [ "$2" == "$3" ]; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
  fi
}

checks_done() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
