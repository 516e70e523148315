#!/usr/bin/env bash
# Every tool that the tests and scripts call, and the fonts that libwmf draws with, come from a
# package that install-deps.sh names (or that a named package depends on): install-deps.sh
# installs without recommendations, so nothing may arrive only as a recommendation.
set -uo pipefail
here=$(dirname "$0")
# shellcheck source=/dev/null
source "$here/checks.sh"

named=$(sed -n '/apt-get install/,/^[^ ]/p' "$here/install-deps.sh" | tr ' \\' '\n\n' |
  grep -E '^[a-z0-9][a-z0-9.+-]+(:i386)?$' | sed 's/:i386$//' | grep -vE '^(apt-get|install)$' |
  sort -u)
# A named package's firm dependencies arrive with it, two levels deep (clang-format brings
# clang-format-14; pkg-config brings pkgconf, which brings pkgconf-bin). Recommendations and
# alternatives do not count.
depends() { apt-cache depends "$@" 2>/dev/null | awk '/^  Depends: [^<]/{print $2}' | sed 's/:.*//'; }
level1=$(depends $named)
covered=$( (echo "$named"; echo "$level1"; depends $level1) | sort -u)

for what in cmake ninja pkg-config clang++ clang-format zip unzip zipcmp sqlite3 odbcinst \
  espeak-ng sox soxi file identify import wmf2gd Xvfb xvfb-run xauth xdotool xdpyinfo \
  /usr/bin/time mount umount /usr/share/fonts/type1/urw-base35 wine wineboot wineserver flock \
  /usr/share/qt6/translations/qtbase_nl.qm; do
  path=$what
  [ "${what:0:1}" == / ] || path=$(command -v "$what") || path=
  owner=
  # Merged /usr: dpkg knows some programs by their /bin name.
  [ -n "$path" ] && owner=$( (dpkg -S "$(readlink -f "$path")" || dpkg -S "/bin/${path##*/}") \
    2>/dev/null | head -1 | cut -d: -f1)
  check "$what comes from a package that install-deps.sh installs" yes \
    "$([ -n "$owner" ] && grep -qx "$owner" <<<"$covered" && echo yes || echo "no (${owner:-not installed})")"
done
checks_done
