#!/usr/bin/env bash
# The whole program end to end: runs the demonstration (record a moving viewer window through the
# program's own window, then "Write Avi" with full frames) and checks what it left behind by decoding
# it with FFmpeg: the movie holds one frame per JPEG of the recording, plays at 3 frames per second, has
# the frames' size, and its first frame is the first JPEG, upright.
# Usage: demo_test.sh BUILD_DIR   (BUILD_DIR holds app/skorva and tests/skorva_viewer_fixture)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:?usage: demo_test.sh BUILD_DIR}
out="$build/e2e-demo"
# The movie's first frame went through the program's own JPEG decoder and a bitmap file; FFmpeg decodes
# the first JPEG for comparison. Their chroma upsampling differs, which on the sample's sharp-edged
# squares moves single colour values a lot, so the pixels are compared by brightness (the JPEG's luma,
# which no upsampling touches) and the colours by each channel's mean. Limits are in levels of 0 to 255;
# a frame from another second differs by about 30 in brightness, an upside-down one by about 70.
brightness_tolerance=2
channel_tolerance=2

fail() {
    echo "demo test: FAILED: $*" >&2
    exit 1
}

env -u DISPLAY bash scripts/demo.sh "$build" "$out" | tee "$out.log" || fail "the demonstration did not finish"

path_of() {
    sed -n "s/^$1: *//p" "$out.log" | sed 's/ ([0-9]* frames)$//'
}
recording=$(path_of Recording)
movie=$(path_of Movie)
screenshot=$(path_of Screenshot)
[ -d "$recording" ] || fail "no recording folder printed"
[ -s "$movie" ] || fail "no movie printed"
[ "$(head -c 8 "$screenshot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the screenshot $screenshot is no PNG"

mapfile -t jpegs < <(find "$recording" -maxdepth 1 -type f -name '*.jpg' | sort)
[ "${#jpegs[@]}" -ge 3 ] || fail "the recording holds ${#jpegs[@]} JPEG files, expected about five"

probe() {
    ffprobe -v error -select_streams v:0 -count_frames \
        -show_entries "stream=$1" -of default=noprint_wrappers=1:nokey=1 "$2"
}
frames=$(probe nb_read_frames "$movie")
rate=$(probe r_frame_rate "$movie")
movie_size=$(probe width,height "$movie" | paste -sd x)
jpeg_size=$(probe width,height "${jpegs[0]}" | paste -sd x)
echo "movie: $frames frames at $rate fps, $movie_size; recording: ${#jpegs[@]} JPEG files of $jpeg_size"
[ "$frames" -eq "${#jpegs[@]}" ] || fail "the movie has $frames frames, the recording ${#jpegs[@]} JPEG files"
[ "$rate" = "3/1" ] || fail "the movie plays at $rate frames per second, not 3/1"
[ "$movie_size" = "$jpeg_size" ] || fail "the movie's frames are $movie_size, the JPEGs $jpeg_size"

decode() {  # FILE PIXEL_FORMAT OUTPUT: the first frame as raw pixels
    ffmpeg -v error -i "$1" -frames:v 1 -f rawvideo -pix_fmt "$2" -y "$3"
}
mean_absolute_difference() {
    # cmp -l lists each differing byte as its position and the two values in octal.
    { cmp -l "$1" "$2" || true; } | awk -v bytes="$(stat -c %s "$1")" '
        function octal(text,    value, i) {
            value = 0
            for (i = 1; i <= length(text); i++) value = value * 8 + substr(text, i, 1)
            return value
        }
        { d = octal($2) - octal($3); sum += d < 0 ? -d : d }
        END { printf "%.3f", sum / bytes }'
}
channel_means() {
    od -An -tu1 -v "$1" | awk '
        { for (i = 1; i <= NF; i++) sum[n++ % 3] += $i }
        END { printf "%.3f %.3f %.3f", sum[0] / (n / 3), sum[1] / (n / 3), sum[2] / (n / 3) }'
}
within() {  # A B TOLERANCE
    awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; exit !((d < 0 ? -d : d) <= t) }'
}

decode "$movie" gray "$out/first-movie.gray"
decode "${jpegs[0]}" gray "$out/first-jpeg.gray"
[ "$(stat -c %s "$out/first-movie.gray")" -eq "$(stat -c %s "$out/first-jpeg.gray")" ] ||
    fail "the first frames decode to different sizes"
difference=$(mean_absolute_difference "$out/first-movie.gray" "$out/first-jpeg.gray")
echo "first frame against the first JPEG: brightness differs by $difference on average"
within "$difference" 0 "$brightness_tolerance" ||
    fail "the movie's first frame is not the first JPEG (brightness differs by $difference on average)"

decode "$movie" rgb24 "$out/first-movie.rgb"
decode "${jpegs[0]}" rgb24 "$out/first-jpeg.rgb"
read -r -a movie_means <<<"$(channel_means "$out/first-movie.rgb")"
read -r -a jpeg_means <<<"$(channel_means "$out/first-jpeg.rgb")"
echo "mean red, green, blue: movie ${movie_means[*]}, JPEG ${jpeg_means[*]}"
for channel in 0 1 2; do
    within "${movie_means[$channel]}" "${jpeg_means[$channel]}" "$channel_tolerance" ||
        fail "the movie's first frame has other colours than the first JPEG"
done

# The recording moved: a movie of one frame repeated would pass everything above.
decode "${jpegs[-1]}" gray "$out/last-jpeg.gray"
! cmp -s "$out/first-jpeg.gray" "$out/last-jpeg.gray" || fail "the first and the last frame are the same picture"

echo "demo test: passed"
