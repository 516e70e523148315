#!/usr/bin/env bash
# Fails when a POSIX or X11 header is included outside a platform file (*_posix.cpp) or a test:
# every system call sits behind a seam whose platform half CMake picks.
#   check-platform-headers.sh [source folder]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
pattern='#include <(sys/|unistd\.h|fcntl\.h|xcb/|X11/|poll\.h|spawn\.h|dirent\.h|pwd\.h|grp\.h|dlfcn\.h|termios\.h|pthread\.h)'
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  found=$(git grep --untracked -n -E "$pattern" -- '*.cpp' '*.h' ':!*_posix.cpp' ':!*_test.cpp' || true)
else
  found=$(grep -rn -E "$pattern" --include='*.cpp' --include='*.h' --exclude='*_posix.cpp' \
            --exclude='*_test.cpp' --exclude-dir='build*' . || true)
fi
if [ -n "$found" ]; then
  echo "Platform headers outside a *_posix.cpp file:"
  echo "$found"
  exit 1
fi
echo "No platform header outside the platform files."
