#!/usr/bin/env bash
# The Windows program under Wine, in a fresh prefix, on the X display of the caller (scripts/with-xvfb.sh
# gives a private one with openbox): the shared layers' unit tests built for Windows, then the command
# line against a fixture viewer window: list shows it, record stores JPEG frames of its pixels,
# write-movie makes AVI movies that FFmpeg decodes frame for frame, and a viewer closed mid-recording
# ends the recording with its message; then the main window (wine_window_test.sh).
# Usage: wine_test.sh BUILD_FOLDER (of scripts/build-windows.sh).
set -euo pipefail
build=$(cd "$1" && pwd)
skorva=$build/app/win32/skorva.exe
fixture=$build/tests/win32/viewer_fixture.exe
scratch=$(mktemp -d)
# Wine hands a program its arguments through the Linux locale: a UTF-8 one, for the names below.
export LC_ALL=C.UTF-8
# No offer to install Mono or Gecko, and no debugger for a program that crashes: it fails instead.
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine=/usr/lib/wine/wine64
fixtures=()
cleanup() {
  for pid in ${fixtures[@]+"${fixtures[@]}"}; do kill "$pid" 2>/dev/null || true; done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "wine_test.sh: $*" >&2
  exit 1
}
# The Windows name of a path below the scratch folder: Wine maps the Linux root as drive Z:.
windows() { echo "Z:$1"; }

started=$(date +%s)
"$wine" wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver -w
echo "Wine prefix ready in $(($(date +%s) - started)) s"

"$wine" "$build/tests/win32/shared_tests.exe" --gtest_brief=1

# open_viewer TITLE [--close-after MS]: starts the fixture and waits (with a deadline) for its line:
# "window 0x<handle> outer L T R B client X Y". Sets viewer_line.
open_viewer() {
  local out=$scratch/fixture-${#fixtures[@]}.out
  "$wine" "$fixture" "$@" >"$out" 2>/dev/null &
  fixtures+=($!)
  for _ in $(seq 300); do
    if grep -q '^window ' "$out" 2>/dev/null; then
      viewer_line=$(tr -d '\r' <"$out")
      return 0
    fi
    sleep 0.1
  done
  fail "the fixture viewer \"$1\" did not open"
}

# A title and folders beyond ASCII: the program speaks UTF-8 and Windows UTF-16.
open_viewer "Webcam for bjørn"
read -r _ handle _ left top right bottom _ client_x client_y <<<"$viewer_line"

# list: the viewer's handle in hex, a tab, its title.
listed=$("$wine" "$skorva" list | tr -d '\r')
grep -qxF "$(printf '%s\tWebcam for bjørn' "$handle")" <<<"$listed" || fail "list shows no \"$handle<TAB>Webcam for bjørn\": $listed"

# record --frames 3: the folder on the first line, then three frames.
out=$scratch/ünï
mkdir -p "$out"
recorded=$("$wine" "$skorva" record --title bjørn --frames 3 --interval 200 --bmp -o "$(windows "$out")" | tr -d '\r')
folder=$(head -n 1 <<<"$recorded")
folder=${folder#Z:}
[ -d "$folder" ] || fail "record printed no folder: $recorded"
mapfile -t frames < <(cd "$folder" && ls -- *.jpg)
# With --bmp, a bitmap beside each JPEG frame.
[ "${#frames[@]}" -eq 3 ] || fail "record stored ${#frames[@]} frames, not 3: ${frames[*]}"
[ "$(ls -A "$folder" | wc -l)" -eq 6 ] || fail "the recording's folder holds more than its frames: $(ls -A "$folder")"
[ "$(ls -A "$out")" = "$(basename "$folder")" ] || fail "the recording left more in the output folder: $(ls -A "$out")"

# Each frame shows the viewer's pixels: the grab starts 25 pixels in and 50 down from the outer corner
# (a window wider than 250 pixels); the fixture paints red = x + 7, green = y + 21 and an 8x8 blue checker
# in client coordinates. Checked at the checker cells' centres, within what a JPEG of quality 70 keeps
# (whichever decoder reads it: FFmpeg's and WIC's upsample the colours differently).
grab_width=$((right - left - 50))
grab_height=$((bottom - top - 170))
# shows_viewer FILE FRAMES: every frame FFmpeg decodes from FILE shows the viewer's pixels.
shows_viewer() {
  ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - | od -An -v -tu1 -w3 |
    awk -v w="$grab_width" -v h="$grab_height" -v frames="$2" -v dx=$((left + 25 - client_x)) \
      -v dy=$((top + 50 - client_y)) -v name="$1" '
      function abs(v) { return v < 0 ? -v : v }
      {
        at = (NR - 1) % (w * h); fx = at % w; fy = int(at / w); x = fx + dx; y = fy + dy
        if (x < 4 || y < 4 || x >= 396 || y >= 296 || x % 8 != 4 || y % 8 != 4) next
        # Not beside the sharp edges where a gradient wraps from 255 to 0: a JPEG rings there.
        if ((x + 7) % 256 < 8 || (x + 7) % 256 > 247 || (y + 21) % 256 < 8 || (y + 21) % 256 > 247) next
        checked++
        blue = (int(x / 8) + int(y / 8)) % 2 ? 224 : 32
        if (abs($1 - (x + 7) % 256) > 24 || abs($2 - (y + 21) % 256) > 24 || abs($3 - blue) > 64) wrong++
      }
      END {
        if (NR != w * h * frames || checked < 100 * frames || wrong > 0) {
          printf "%s: %d pixels in %d frames, %d of %d checked wrong\n", name, NR, frames, wrong, checked
          exit 1
        }
      }'
}
for frame in "${frames[@]}"; do
  size=$(ffprobe -v error -select_streams v -show_entries stream=width,height -of csv=p=0 "$folder/$frame")
  [ "$size" = "$grab_width,$grab_height" ] || fail "$frame is $size, not $grab_width,$grab_height"
  shows_viewer "$folder/$frame" 1 || fail "the frame does not show the viewer's pixels"
  # The bitmap beside it holds the same grab, in the program's own bitmap format.
  shows_viewer "$folder/${frame%.jpg}.bmp" 1 || fail "the bitmap of $frame does not show the viewer's pixels"
done

# write-movie: full frames, which FFmpeg decodes frame for frame into the viewer's pixels, the last one
# exactly as the program decoded it into the folder's tmp.bmp.
movie=$scratch/møvie.avi
"$wine" "$skorva" write-movie "$(windows "$folder")" -o "$(windows "$movie")" --fps 5 2>/dev/null ||
  fail "write-movie of full frames failed"
probe=$(ffprobe -v error -count_frames -select_streams v \
  -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 "$movie")
[ "$probe" = "rawvideo,$grab_width,$grab_height,5/1,3" ] || fail "the movie is $probe"
shows_viewer "$movie" 3 || fail "the movie's frames do not show the viewer's pixels"
cmp -s <(ffmpeg -v error -i "$movie" -vf "select=eq(n\,2)" -f rawvideo -pix_fmt bgr24 -) \
  <(ffmpeg -v error -i "$folder/tmp.bmp" -f rawvideo -pix_fmt bgr24 -) ||
  fail "the movie's last frame is not the bitmap it was written from"
[ "$(ls -A "$scratch" | grep -c '^\.')" -eq 0 ] || fail "write-movie left a hidden file: $(ls -A "$scratch")"

# The copying entry: the recorded files, byte for byte, as a Motion JPEG stream.
copy=$scratch/copy.avi
"$wine" "$skorva" write-movie "$(windows "$folder")" -o "$(windows "$copy")" --codec mjpeg-copy 2>/dev/null ||
  fail "write-movie --codec mjpeg-copy failed"
mkdir -p "$scratch/copied"
ffmpeg -v error -i "$copy" -c copy -f image2 "$scratch/copied/%d.jpg"
for i in 1 2 3; do
  cmp -s "$scratch/copied/$i.jpg" "$folder/${frames[$((i - 1))]}" || fail "copied frame $i is not the recorded file"
done
[ "$(ls -A "$folder" | grep -vcE '\.(jpg|bmp)$')" -eq 0 ] || fail "write-movie left files in the folder: $(ls -A "$folder")"

# An MP4 movie is refused on Windows with a reason, and leaves nothing.
if "$wine" "$skorva" write-movie "$(windows "$folder")" -o "$(windows "$scratch/bob.mp4")" 2>"$scratch/mp4.err"; then
  fail "write-movie made an MP4 movie"
fi
grep -q 'MP4 movies are not made by the Windows program' "$scratch/mp4.err" || fail "no reason for MP4: $(cat "$scratch/mp4.err")"
[ ! -e "$scratch/bob.mp4" ] || fail "a refused MP4 movie left a file"

# A viewer closed mid-recording ends the recording with the system's message and exit code 1.
open_viewer "Webcam for carol" --close-after 1500
status=0
"$wine" "$skorva" record --title carol --interval 100 --duration 60 -o "$(windows "$out")" >/dev/null \
  2>"$scratch/closed.err" || status=$?
[ "$status" -eq 1 ] || fail "a closed viewer ended the recording with exit code $status"
grep -q 'gave no picture: it seems to be closed or too small. The recording stops.' "$scratch/closed.err" ||
  fail "a closed viewer was not said: $(cat "$scratch/closed.err")"

# The main window, driven as a user drives it.
source "$(dirname "$0")/wine_window_test.sh"
echo "Windows program under Wine: all checks passed in $(($(date +%s) - started)) s"
