#!/usr/bin/env bash
# The layering that keeps a second front end and a second platform to one folder each:
# - no POSIX or X11 header outside a platform file (*_posix.cpp) or a test;
# - no Windows header outside a Windows platform file (*_win.cpp);
# - the wizard window holds no SQL and no database or file call (those are the steps' work);
# - the program links no test support and no container writer (given its file).
#   check-layers.sh <source folder> [<program file>]
set -uo pipefail
src=$1
program=${2:-}
# shellcheck source=/dev/null
source "$src/scripts/checks.sh"
cd "$src" || exit 1

files() { # the C++ files of the tree, tracked or not, without the build trees
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h'
  else
    find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'
  fi
}

headers='#include <(sys/|unistd\.h|fcntl\.h|xcb/|X11/|poll\.h|spawn\.h|dirent\.h|pwd\.h|grp\.h|dlfcn\.h|termios\.h|pthread\.h)'
check "no platform header outside a platform file" "" \
  "$(files | grep -vE '(_posix|_test)\.cpp$' | xargs grep -nE "$headers" 2>/dev/null)"

winheaders='#include <(windows|winbase|winuser|windef|winnt|winerror|winreg|wingdi|shlobj|shellapi|shlwapi|objbase|ole2|commctrl|commdlg|io|direct|process|tchar)\.h>'
check "no Windows header outside a Windows platform file (*_win.cpp)" "" \
  "$(files | grep -vE '_win\.cpp$' | xargs grep -niE "$winheaders" 2>/dev/null)"

check "the wizard window holds no SQL and no database or file call" "" \
  "$(grep -nE '\b(Connect|Disconnect|IsConnected|ExecuteSQL|OpenRSBySQL|SaveResources|UpdateDB|ListChanges|Files|FindInstallation|HoldsInstallation|AvailableDiskSpace|NeededDiskSpace|GetResourceExtremes)\(|"(SELECT|INSERT|DELETE|UPDATE) ' wizard/frmMain.cpp)"

if [ -n "$program" ]; then
  check "the program links no test support and no container writer" "" \
    "$(nm -C "$program" | grep -E 'kw::test::|ContainerWriter|AppendContainer|CreateDemoDatabase|CreateTestInstallation')"
fi
checks_done
