#!/usr/bin/env bash
# Recording at video rates as a user who compares tools meets it: whole processes on a private Xvfb with
# openbox. `skorva record --interval 33` of a 640x480 viewer (a moving picture) against
# `ffmpeg -f x11grab -window_id` of the same 640x480 rectangle of the same window at 30 frames a second,
# writing JPEG files, for the same time.
#
# Our side: every tick's frame is stored (the files counted, named in order, "frame N" said for each, a
# few decoded), and the ticks keep time. A tick's time is its file's modification time (the file is written
# as the tick ends, so each carries the same encode and write after the tick's start; the kernel may keep
# new files' times to its clock tick, a few milliseconds, well inside half an interval). The ticks' due
# times are a grid of the interval whose phase is the ticks' own (their circular mean), so the fixed part
# of the tick's work is taken out; a due time is kept when exactly one tick lies within half an interval of
# it. Printed: the spacing of the ticks (mean, max), the share of due times kept, and ffmpeg's frames the
# same way.
#
# CPU a frame: user + system time of the whole process (every thread), with start-up taken out on both
# sides alike: (long run - short run) / (frames between). The X server's work (the copy of the pixels, and
# for ours the window's own pixmap) is in neither. The sides take turns; each run prints its ratio, and the
# last lines their spread.
#
# Usage: bench/run_record_rate.sh [build folder]
# SKORVA_RECORD_SECONDS: the long run (120); SKORVA_RECORD_SHORT_SECONDS: the short run (10);
# SKORVA_RECORD_INTERVAL: milliseconds between our frames (33; ffmpeg takes the nearest whole rate);
# SKORVA_BENCH_RUNS: runs of both sides (2); SKORVA_BENCH_DIR: where the frames go (a tmpfs if any);
# SKORVA_FFMPEG_Q: ffmpeg's quantiser (8).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${SKORVA_RECORD_XVFB:-}" ]; then
  SKORVA_RECORD_XVFB=1 exec scripts/with-xvfb.sh "$PWD/bench/run_record_rate.sh" "$@"
fi

# The capture benchmark's build folder: the same program, built once for both.
build=${1:-build/bench-capture}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKORVA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target skorva skorva_viewer_fixture >/dev/null
skorva="$build/app/skorva"
fixture="$build/tests/skorva_viewer_fixture"

long=${SKORVA_RECORD_SECONDS:-120}
short=${SKORVA_RECORD_SHORT_SECONDS:-10}
interval=${SKORVA_RECORD_INTERVAL:-33}
runs=${SKORVA_BENCH_RUNS:-2}
rate=$(((1000 + interval / 2) / interval))

work=$(mktemp -d -p "${SKORVA_BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
fixture_pid=
# The fixture ends by the signal, which `wait` reports as a failure: not the script's.
cleanup() {
  if [ -n "$fixture_pid" ]; then
    kill "$fixture_pid" 2>/dev/null || true
    wait "$fixture_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# openbox frames a client with 1, 1, 20, 5 pixels; the tick leaves out 25 at each side, 50 at the top and
# 120 at the bottom of the frame: a 640x480 video area needs a 688x625 client, and lies at 24, 30 in it.
mkfifo "$work/hold"
"$fixture" "x=40 y=40 w=688 h=625 moving title=Webcam for bob" <"$work/hold" >"$work/windows" &
fixture_pid=$!
exec 9>"$work/hold"
for _ in $(seq 100); do
  grep -q '^window ' "$work/windows" && break
  sleep 0.1
done
window=$(awk '/^window / { print $2; exit }' "$work/windows")
[ -n "$window" ] || { echo "the viewer window did not come up" >&2; exit 1; }
# The window manager lists the viewer a moment after it is mapped.
for _ in $(seq 100); do
  "$skorva" list | grep -q "Webcam for bob" && break
  sleep 0.1
done

# Each side runs for some seconds into a new folder and leaves its CPU seconds and frames in
# $side_cpu and $side_frames.
ours() {
  local seconds=$1 out=$2
  mkdir -p "$out"
  if ! /usr/bin/time -f '%U %S' -o "$out.time" "$skorva" record --window-id "$window" --interval "$interval" \
    --duration "$seconds" -o "$out" >"$out.said" 2>"$out.err"; then
    cat "$out.err" >&2
    exit 1
  fi
  side_cpu=$(awk '{ print $1 + $2 }' "$out.time")
  side_frames=$(find "$out" -name '*.jpg' | wc -l)
}
ffmpeg_side() {
  local seconds=$1 out=$2
  mkdir -p "$out"
  # Quantiser 8 gives the files of the nearest size to ours at quality 70 (both sizes are printed); every
  # frame grabbed is written (but one of a time stamp already written), none doubled to keep a rate.
  /usr/bin/time -f '%U %S' -o "$out.time" ffmpeg -nostdin -v error -y -f x11grab -draw_mouse 0 \
    -framerate "$rate" -window_id "$window" -grab_x 24 -grab_y 30 -video_size 640x480 -i "$DISPLAY" \
    -t "$seconds" -fps_mode vfr -q:v "${SKORVA_FFMPEG_Q:-8}" -f image2 "$out/%07d.jpg"
  side_cpu=$(awk '{ print $1 + $2 }' "$out.time")
  side_frames=$(find "$out" -name '*.jpg' | wc -l)
}

# Every frame of our long runs must be whole: a few of them decoded, each of 640x480.
check_frames() {
  local folder=$1 count frame
  count=$(find "$folder" -name '*.jpg' | wc -l)
  for n in 0 $((count / 2)) $((count - 1)); do
    frame=$(printf '%s/bob%07d.jpg' "$folder" "$n")
    [ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$frame")" = "640,480" ] ||
      { echo "frame $frame is not a 640x480 JPEG" >&2; exit 1; }
    [ -z "$(ffmpeg -nostdin -v error -i "$frame" -f null - 2>&1)" ] ||
      { echo "frame $frame does not decode cleanly" >&2; exit 1; }
  done
}

# Each run's figures are taken at once and its frames removed, so that the work folder stays small.
: >"$work/runs"
for run in $(seq "$runs"); do
  echo "run $run of $runs: ${long}s and ${short}s on each side" >&2
  cpu=()
  ours "$long" "$work/ours$run" && cpu+=("$side_cpu" "$side_frames")
  ffmpeg_side "$long" "$work/ff$run" && cpu+=("$side_cpu" "$side_frames")
  ffmpeg_side "$short" "$work/ffshort$run" && cpu+=("$side_cpu" "$side_frames")
  ours "$short" "$work/oursshort$run" && cpu+=("$side_cpu" "$side_frames")
  check_frames "$(find "$work/ours$run" -mindepth 1 -maxdepth 1 -type d)"
  # CPU seconds and frames: ours long, ffmpeg long, ffmpeg short, ours short.
  python3 bench/record_rate_figures.py run "$work/ours$run" "$work/ours$run.said" "$interval" "$long" \
    "$work/ff$run" "$rate" "${cpu[@]}" >>"$work/runs"
  rm -rf "$work/ours$run" "$work/ff$run" "$work/ffshort$run" "$work/oursshort$run"
done

python3 bench/record_rate_figures.py summary "$work/runs"
