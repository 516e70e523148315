#!/usr/bin/env bash
# Checks the media in a folder with tools that share no code with the generator: file, soxi,
# ImageMagick's identify and libwmf's wmf2gd (when installed), and the sizes with stat.
# Usage: media_check.sh <media-folder> <catalogue.tsv>
set -uo pipefail
media=$1
catalogue=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$(dirname "$0")/../../scripts/checks.sh"

numbers=$(grep -v '^#' "$catalogue" | cut -f1)
count=$(wc -l <<<"$numbers")
for n in $numbers; do
  echo "$media/pictogrammen/i$n.wmf" >>"$work/wmf"
  echo "$media/geluiden/man/i$n.wav" >>"$work/wav"
  echo "$media/geluiden/vrouw/i$n.wav" >>"$work/wav"
  echo "$media/thumbs/i$n.bmp" >>"$work/bmp"
done
check "four files for each of the $count entries, and no others" $((4 * count)) \
  "$(find "$media/pictogrammen" "$media/geluiden" "$media/thumbs" -type f | wc -l)"

# Every picture is a placeable metafile of 1440 units to the inch.
check "pictures: file sees metafiles" "$count" \
  "$(xargs file -b <"$work/wmf" | grep -c '^Windows metafile')"
check "pictures: placeable key and units" "$count" \
  "$(while read -r f; do od -An -tx1 -N16 "$f" | tr -d ' \n'; echo; done <"$work/wmf" |
     grep -c '^d7cdc69a000000000000[0-9a-f]\{8\}a005$')"
if command -v wmf2gd >/dev/null; then
  bad=0
  for n in 1173 1205 1439 1480; do
    wmf2gd -t png -o "$work/p.png" "$media/pictogrammen/i$n.wmf" >/dev/null 2>&1 &&
      [ "$(identify -format '%m' "$work/p.png")" == PNG ] || bad=$((bad + 1))
  done
  check "pictures: libwmf draws them" 0 "$bad"
else
  echo "SKIP pictures: libwmf draws them (wmf2gd is not installed)"
fi

# Every sound is mono 16-bit PCM at 44,100 Hz.
for what in "-r 44100" "-c 1" "-b 16" "-e Signed Integer PCM"; do
  option=${what%% *}
  value=${what#* }
  check "sounds: soxi $option" $((2 * count)) \
    "$(xargs soxi "$option" <"$work/wav" | grep -c "^$value\$")"
done
check "sounds: file sees PCM" $((2 * count)) \
  "$(xargs file -b <"$work/wav" | grep -c 'WAVE audio, Microsoft PCM, 16 bit, mono 44100 Hz')"

# Every thumbnail is an uncompressed 32-bit BMP, 60 pixels square but for 1196 (60 by 59).
check "thumbnails: identify" "$((count - 1)) BMP3 60x60 32 bpp, 1 BMP3 60x59 32 bpp" \
  "$(xargs identify -format '%m %wx%h\n' <"$work/bmp" | sort | uniq -c | sort -rn |
     awk '{printf "%s%s %s %s 32 bpp", (NR > 1 ? ", " : ""), $1, $2, $3}')"
check "thumbnails: file sees 32 bits, 40-byte header" "$count" \
  "$(xargs file -b <"$work/bmp" | grep -c 'Windows 3.x format, 60 x \(60\|59\) x 32')"
check "thumbnail of 1196 is 60 by 59" "60 59" \
  "$(identify -format '%w %h' "$media/thumbs/i1196.bmp")"

# The sizes of the publisher's media: the smallest and largest of each kind, all bytes, and
# the clusters of 4096 bytes on disk.
sizes() { xargs stat -c %s <"$1" | sort -n; }
check "pictures: 4,778 to 1,055,376 bytes" "4778 1055376" \
  "$(sizes "$work/wmf" | sed -n '1p;$p' | paste -sd' ')"
grep /man/ "$work/wav" >"$work/man"
grep /vrouw/ "$work/wav" >"$work/vrouw"
check "man's sounds: 47,716 to 619,112 bytes" "47716 619112" \
  "$(sizes "$work/man" | sed -n '1p;$p' | paste -sd' ')"
check "woman's sounds: 49,806 to 781,680 bytes" "49806 781680" \
  "$(sizes "$work/vrouw" | sed -n '1p;$p' | paste -sd' ')"
check "all bytes and clusters" "135752282 138194944" \
  "$(cat "$work/wmf" "$work/wav" "$work/bmp" | xargs stat -c %s |
     awk '{b += $1; c += int(($1 + 4095) / 4096)} END {print b, c * 4096}')"

checks_done
