#!/usr/bin/env bash
# Builds the Windows edition: build-win/kwastor.exe, a 32-bit program of the window subsystem,
# statically linked (no DLLs beside it), with the payload as its resources.
#
#   scripts/build-windows.sh [extra cmake options for the Windows tree]
#
# Installs the cross compilers and libraries it needs (skip with KWASTOR_SKIP_DEPS=1), builds
# the host tools, the media and the payload container (which the tests read) in the Linux tree
# build/ (only those targets), then configures and builds build-win/. KWASTOR_MEDIA_DIR names a
# folder of media made already, so that the demo media are not made again. Afterwards:
#   ctest --test-dir build-win            # the Windows halves' tests, under Wine
set -euo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
host=$src/build
win=$src/build-win

if [ "${KWASTOR_SKIP_DEPS:-0}" != 1 ]; then
  "$src/scripts/install-deps.sh"
fi

host_options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ -n "${KWASTOR_MEDIA_DIR:-}" ]; then
  host_options+=("-DKWASTOR_MEDIA_DIR=$KWASTOR_MEDIA_DIR")
fi
if [ ! -f "$host/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$host" "${host_options[@]}"
fi
# The Linux program too: the Windows tests compare kwastor.exe's work with its.
ninja -C "$host" pack-payload make-test-installation kwastor-jet kw_payload_container kwastor

if [ ! -f "$win/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" -DKWASTOR_HOST_BUILD="$host" "$@"
fi
ninja -C "$win"
file "$win/kwastor.exe"
# Linked statically: nothing but Windows' own DLLs may be imported.
imports=$(i686-w64-mingw32-objdump -p "$win/kwastor.exe" | awk '/DLL Name:/ { print tolower($3) }')
foreign=$(grep -vxE '(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comctl32|comdlg32|odbc32|msvcrt|shlwapi|uxtheme|version|winmm)\.dll' <<<"$imports" || true)
if [ -n "$foreign" ]; then
  echo "build-windows.sh: kwastor.exe needs DLLs that Windows doesn't bring: $foreign" >&2
  exit 1
fi
echo "kwastor.exe imports only $(tr '\n' ' ' <<<"$imports")"
