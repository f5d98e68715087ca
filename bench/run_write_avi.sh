#!/usr/bin/env bash
# "Write Avi" as a user who compares tools meets it: whole processes. `skorva write-movie` against ffmpeg
# (and GStreamer for the copying entry) joining the same JPEG frames (640x480, a moving picture with noise)
# with the same codec. Start-up is taken out on both sides alike: each side writes a long folder and a
# short one of 30 frames, and a frame costs (long - short) / (frames between), in wall time and in CPU
# time (user and system, every thread); what the short folder took beyond its frames is the start-up (and
# end) of the process. The long folder has 330 frames, 3,030 for the copying entry,
# whose frames cost so little that 300 of them are lost in the noise of a process's start-up. The sides
# take turns, three pairs each, and the median counts. For each side it prints the size of its movie of
# the long folder and its PSNR against the pixels the frames were made from (the first 330 frames). Then
# the window: the longest the window waited during a write, and the writer's peak memory.
# Usage: bench/run_write_avi.sh [build folder]
# SKORVA_BENCH_BEFORE=<a skorva built from another commit>: that build takes its turns too, and its ratio
# against this one is printed. SKORVA_BENCH_PAIRS: turns a side (3). SKORVA_BENCH_CODECS: which of raw,
# mjpeg, h264 and mjpeg-copy (all). SKORVA_BENCH_DIR: where frames and movies go (a tmpfs if any).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-bad bc
build=${1:-build/bench-write-avi}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKORVA_BUILD_BENCH=ON -DSKORVA_BUILD_APP=ON \
  -DSKORVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target bench_write_avi skorva >/dev/null
bench="$build/bench/bench_write_avi"
skorva="$build/app/skorva"
before=${SKORVA_BENCH_BEFORE:-}
pairs=${SKORVA_BENCH_PAIRS:-3}

# Frames and movies in memory when the machine has a tmpfs, so that the disk's write-back does not decide
# the figures; SKORVA_BENCH_DIR names another place (a real disk, say).
work=$(mktemp -d -p "${SKORVA_BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
trap 'rm -rf "$work"' EXIT
# Qt wants a private runtime folder; the work folder is one (mktemp makes it 0700).
export XDG_RUNTIME_DIR="$work"

short="$work/short" source="$work/source.rgb"
"$bench" --make-frames "$work/long3030" 640 480 3030
"$bench" --make-frames "$work/long330" 640 480 330 "$source"
mkdir -p "$short"
for frame in $(ls "$work/long330" | head -n 30); do cp "$work/long330/$frame" "$short/"; done

# timed OUT COMMAND...: runs the command, prints its wall and CPU seconds.
timed() {
  local out=$1 wall user sys
  shift
  rm -f "$out"
  read -r wall user sys < <({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
  [ -s "$out" ] || { echo "no movie from: $*" >&2; exit 1; }
  echo "$wall $(echo "$user + $sys" | bc -l)"
}

# Each side is a function of FOLDER OUT.
ours() { timed "$2" "$skorva" write-movie "$1" -o "$2" --fps 3 "${ours_args[@]}"; }
theirs() { timed "$2" ffmpeg -y -v error -f image2 -framerate 3 -pattern_type glob -i "$1/*.jpg" "${ffmpeg_args[@]}" "$2"; }
gstreamer() {
  timed "$2" gst-launch-1.0 -q multifilesrc location="$1/frame%06d.jpg" index=0 \
    caps="image/jpeg,framerate=3/1" ! jpegparse ! avimux ! filesink location="$2"
}
previous() { timed "$2" "$before" write-movie "$1" -o "$2" --fps 3 "${ours_args[@]}"; }

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# per_frame SIDE...: every side writes the long and the short folder in turn, PAIRS times; prints for each
# side, in order, the median milliseconds a frame of wall and of CPU time.
per_frame() {
  local side turn wl cl ws cs between
  between=$(($(ls "$long" | wc -l) - 30))
  declare -A walls cpus starts
  for turn in $(seq "$pairs"); do
    for side in "$@"; do
      read -r wl cl < <("$side" "$long" "$work/$side-long.avi")
      read -r ws cs < <("$side" "$short" "$work/$side-short.avi")
      walls[$side]+="$(echo "($wl - $ws) * 1000 / $between" | bc -l) "
      cpus[$side]+="$(echo "($cl - $cs) * 1000 / $between" | bc -l) "
      # What the short folder took beyond its 30 frames: the process's start-up and end.
      starts[$side]+="$(echo "($ws - 30 * ($wl - $ws) / $between) * 1000" | bc -l) "
    done
  done
  for side in "$@"; do
    # shellcheck disable=SC2086
    echo "$(median ${walls[$side]}) $(median ${cpus[$side]}) $(median ${starts[$side]})"
  done
}

# quality MOVIE: its size in KiB and its PSNR in RGB (dB, the average over the first 330 frames) against the
# pixels the frames were made from.
quality() {
  local psnr
  psnr=$(ffmpeg -nostdin -v info -i "$1" -f rawvideo -pix_fmt rgb24 -s 640x480 -framerate 3 -i "$source" \
    -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr=shortest=1" -f null - 2>&1 |
    sed -n 's/.*PSNR .*average:\([0-9.inf]*\).*/\1/p' | tail -n 1)
  printf '%8d KiB %6.2f dB' "$(($(stat -c %s "$1") / 1024))" "$psnr"
}

# The nearest of ffmpeg's Motion JPEG quantisers to the size of our movie of the long folder.
nearest_quantiser() {
  local size best=2 bestGap=-1 q theirs gap
  size=$(stat -c %s "$1")
  for q in $(seq 2 20); do
    ffmpeg -y -v error -f image2 -framerate 3 -pattern_type glob -i "$long/*.jpg" -c:v mjpeg -q:v "$q" \
      "$work/q.avi"
    theirs=$(stat -c %s "$work/q.avi")
    gap=$(( theirs > size ? theirs - size : size - theirs ))
    if [ "$bestGap" -lt 0 ] || [ "$gap" -lt "$bestGap" ]; then best=$q bestGap=$gap; fi
  done
  echo "$best"
}

printf '%-12s %-40s %9s %9s %9s   %s\n' codec side "ms/frame" "cpu ms" "start ms" "movie of the long folder"
report() {
  local label=$1 side=$2 wall=$3 cpu=$4 start=$5
  printf '%-12s %-40s %9.3f %9.3f %9.0f   %s\n' "$codec" "$label" "$wall" "$cpu" "$start" \
    "$(quality "$work/$side-long.avi")"
}
ratios() {
  printf '%-12s %-40s %9.2f %9.2f\n' "$codec" "$1" "$(echo "$3 / $2" | bc -l)" "$(echo "$5 / $4" | bc -l)"
}

for codec in ${SKORVA_BENCH_CODECS:-raw mjpeg h264 mjpeg-copy}; do
  long="$work/long330"
  [ "$codec" = mjpeg-copy ] && long="$work/long3030"
  ours_args=(--codec "$codec")
  case $codec in
    raw) ffmpeg_args=(-c:v rawvideo -pix_fmt bgr24) ;;
    mjpeg)
      ours "$long" "$work/probe.avi" >/dev/null
      ffmpeg_args=(-c:v mjpeg -q:v "$(nearest_quantiser "$work/probe.avi")")
      ;;
    # The same encoder and settings on both sides: CRF 26, a key frame every 30 frames, no B-frames.
    h264)
      ours_args+=(--key-frame-every 30)
      ffmpeg_args=(-c:v libx264 -preset veryfast -crf 26 -g 30 -bf 0 -pix_fmt yuv420p)
      ;;
    mjpeg-copy) ffmpeg_args=(-c:v copy) ;;
  esac
  sides=(ours theirs)
  [ "$codec" = mjpeg-copy ] && sides+=(gstreamer)
  [ -n "$before" ] && sides+=(previous)
  mapfile -t figures < <(per_frame "${sides[@]}")
  read -r oursWall oursCpu oursStart <<<"${figures[0]}"
  read -r theirsWall theirsCpu theirsStart <<<"${figures[1]}"
  report "skorva write-movie" ours "$oursWall" "$oursCpu" "$oursStart"
  report "ffmpeg ${ffmpeg_args[*]}" theirs "$theirsWall" "$theirsCpu" "$theirsStart"
  ratios "speed, CPU: ffmpeg / ours (above 1: ours is better)" "$oursWall" "$theirsWall" "$oursCpu" "$theirsCpu"
  next=2
  if [ "$codec" = mjpeg-copy ]; then
    read -r gstWall gstCpu gstStart <<<"${figures[2]}"
    report "gst-launch multifilesrc ! jpegparse ! avimux" gstreamer "$gstWall" "$gstCpu" "$gstStart"
    ratios "speed, CPU: GStreamer / ours" "$oursWall" "$gstWall" "$oursCpu" "$gstCpu"
    next=3
  fi
  if [ -n "$before" ]; then
    read -r beforeWall beforeCpu beforeStart <<<"${figures[$next]}"
    report "the build before" previous "$beforeWall" "$beforeCpu" "$beforeStart"
    ratios "speed, CPU: before / this build" "$oursWall" "$beforeWall" "$oursCpu" "$beforeCpu"
  fi
done

# The window during a write: the longest the event loop waited (a timer that would fire every
# millisecond), at 1920x1080 and at 640x480, the worst of three writes.
printf '\n%-10s %-13s %s\n' size codec "longest wait of the window, ms"
"$bench" --make-frames "$work/hd" 1920 1080 30
for folder in hd long330; do
  for codec in uncompressed h264; do
    wait=0
    for _ in 1 2 3; do
      read -r _ _ waited _ < <("$bench" --fps "$work/$folder" "$codec" 2>/dev/null)
      wait=$(echo "if ($waited > $wait) $waited else $wait" | bc -l)
    done
    printf '%-10s %-13s %.1f\n' "$([ $folder = hd ] && echo 1920x1080 || echo 640x480)" "$codec" "$wait"
  done
done

# Peak resident memory of one write: the writer holds a few frames at a time, whatever the count.
"$bench" --make-frames "$work/frames_3000" 320 240 3000
mkdir -p "$work/frames_300"
for frame in $(ls "$work/frames_3000" | head -n 300); do cp "$work/frames_3000/$frame" "$work/frames_300/"; done
printf '\n'
for codec in uncompressed mjpeg h264 mjpeg-copy; do
  small=$("$bench" --peak-memory "$work/frames_300" "$codec" 2>/dev/null)
  large=$("$bench" --peak-memory "$work/frames_3000" "$codec" 2>/dev/null)
  printf 'peak memory, 320x240 %-12s 300 frames %6d KiB, 3000 frames %6d KiB (%+.1f %%)\n' "$codec:" "$small" \
    "$large" "$(echo "($large - $small) * 100 / $small" | bc -l)"
done
