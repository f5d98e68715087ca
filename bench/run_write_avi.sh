#!/usr/bin/env bash
# Times the AVI writer's own path against ffmpeg joining the same JPEG frames into an AVI with the same
# codec, for 300 frames of 320x240 and of 640x480, weighs the progress dialog against the same write
# without it, and compares the writer's peak memory for 300 and 3,000 frames.
# Usage: bench/run_write_avi.sh [build folder]
# SKORVA_BENCH_RUNS: turns per side against ffmpeg (5); SKORVA_BENCH_TURNS: turns per side with and without
# the progress (20); SKORVA_BENCH_DIR: where frames and movies go (a tmpfs if any).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/bench-write-avi}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKORVA_BUILD_BENCH=ON -DSKORVA_BUILD_APP=ON \
  -DSKORVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target bench_write_avi >/dev/null
bench="$build/bench/bench_write_avi"

# Frames and movies in memory when the machine has a tmpfs, so that the disk's write-back does not decide
# the figures; SKORVA_BENCH_DIR names another place (a real disk, say).
work=$(mktemp -d -p "${SKORVA_BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
trap 'rm -rf "$work"' EXIT

# Qt wants a private runtime folder; the work folder is one (mktemp makes it 0700).
export XDG_RUNTIME_DIR="$work"

max() { echo "if ($1 > $2) $1 else $2" | bc -l; }
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }

# race CODEC FFMPEG_ARGS...: ours with CODEC and ffmpeg with FFMPEG_ARGS on "$folder" take turns, so that
# both meet the same load on a shared machine; the best run of each counts (ours, theirs, oursCpu,
# theirsCpu). Ours is the click in a window that is already up; theirs the whole command.
race() {
  local codec=$1 fps cpu wall user sys
  shift
  ours=0 theirs=0 oursCpu=1000000 theirsCpu=1000000
  for _ in $(seq "${SKORVA_BENCH_RUNS:-5}"); do
    read -r fps cpu _ < <("$bench" --fps "$folder" "$codec" 2>/dev/null)
    ours=$(max "$ours" "$fps")
    oursCpu=$(min "$oursCpu" "$cpu")
    read -r wall user sys < <({ TIMEFORMAT='%R %U %S'; time ffmpeg -y -v error -f image2 -framerate 3 \
      -pattern_type glob -i "$folder/*.jpg" "$@" "$work/ffmpeg.avi" >/dev/null; } 2>&1)
    theirs=$(max "$theirs" "$(echo "300 / $wall" | bc -l)")
    theirsCpu=$(min "$theirsCpu" "$(echo "($user + $sys) * 1000 / 300" | bc -l)")
  done
}

# Frames a second is the target; CPU milliseconds a frame (all threads, the lowest of the turns) is what
# decides when other work keeps the second core busy.
printf '%-8s %-13s %9s %9s %6s   %11s %11s %6s\n' size codec "ours fps" "ffmpeg" ratio "ours cpu ms" "ffmpeg" ratio
for size in 320x240 640x480; do
  folder="$work/frames_$size"
  "$bench" --make-frames "$folder" "${size%x*}" "${size#*x}" 300
  for codec in uncompressed mjpeg h264; do
    case $codec in
      uncompressed) args=(-c:v rawvideo -pix_fmt bgr24) ;;
      mjpeg) args=(-c:v mjpeg -q:v 9) ;;  # our quality 7500: TurboJPEG quality 75, about quantiser 9
      h264) args=(-c:v libx264 -preset veryfast -bf 0 -crf 26) ;;  # our quality 7500 is CRF 26
    esac
    race "$codec" "${args[@]}"
    printf '%-8s %-13s %9.1f %9.1f %6.2f   %11.2f %11.2f %6.2f\n' "$size" "$codec" "$ours" "$theirs" \
      "$(echo "$ours / $theirs" | bc -l)" "$oursCpu" "$theirsCpu" "$(echo "$theirsCpu / $oursCpu" | bc -l)"
  done
done

# The copying entry puts the JPEG files in as they are: it is timed against ffmpeg copying them (-c:v copy,
# target 1.0 or more) and against ffmpeg's Motion JPEG re-encode, the road it saves (target 20 or more).
printf '\n%-8s %-32s %9s %9s %6s   %11s %11s %6s\n' size "mjpeg-copy against" "ours fps" "ffmpeg" ratio \
  "ours cpu ms" "ffmpeg" ratio
for size in 320x240 640x480; do
  folder="$work/frames_$size"
  for against in copy reencode; do
    case $against in
      copy) args=(-c:v copy) label="ffmpeg -c:v copy" ;;
      reencode) args=(-c:v mjpeg -q:v 9) label="ffmpeg Motion JPEG re-encode" ;;
    esac
    race mjpeg-copy "${args[@]}"
    printf '%-8s %-32s %9.1f %9.1f %6.2f   %11.3f %11.3f %6.2f\n' "$size" "$label" "$ours" "$theirs" \
      "$(echo "$ours / $theirs" | bc -l)" "$oursCpu" "$theirsCpu" "$(echo "$theirsCpu / $oursCpu" | bc -l)"
  done
done

# What the progress dialog and the event loop's turns during the write cost: the same window writes the
# same frames with them and without them (the writer on the window's controls alone), taking turns in one
# process; the medians of the turns count. The longest wait of the event loop is the worst of single runs
# with progress.
printf '\n%-8s %-13s %9s %9s %6s   %11s %11s %6s   %s\n' size codec "with fps" without ratio "with UI ms" \
  without ratio "longest wait ms"
for size in 320x240 640x480; do
  folder="$work/frames_$size"
  for codec in uncompressed mjpeg h264; do
    read -r with without withUi withoutUi < <("$bench" --weigh-progress "$folder" "$codec" \
      "${SKORVA_BENCH_TURNS:-20}" 2>/dev/null)
    wait=0
    for _ in 1 2 3; do
      read -r _ _ waited _ < <("$bench" --fps "$folder" "$codec" 2>/dev/null)
      wait=$(max "$wait" "$waited")
    done
    printf '%-8s %-13s %9.1f %9.1f %6.3f   %11.3f %11.3f %6.3f   %.1f\n' "$size" "$codec" "$with" "$without" \
      "$(echo "$with / $without" | bc -l)" "$withUi" "$withoutUi" "$(echo "$withoutUi / $withUi" | bc -l)" "$wait"
  done
done

# Peak resident memory of one write: the writer holds one frame at a time, whatever the count.
"$bench" --make-frames "$work/frames_3000" 320 240 3000
for codec in uncompressed mjpeg h264 mjpeg-copy; do
  small=$("$bench" --peak-memory "$work/frames_320x240" "$codec" 2>/dev/null)
  large=$("$bench" --peak-memory "$work/frames_3000" "$codec" 2>/dev/null)
  printf 'peak memory, 320x240 %-12s 300 frames %6d KiB, 3000 frames %6d KiB (%+.1f %%)\n' "$codec:" "$small" \
    "$large" "$(echo "($large - $small) * 100 / $small" | bc -l)"
done
