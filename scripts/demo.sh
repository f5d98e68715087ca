#!/usr/bin/env bash
# Shows the program's main job where there is no display: in a private Xvfb with openbox it opens a
# sample viewer window "Webcam for demo" with a moving picture, starts the program and, through the
# program's own window, records about five seconds (select, Start, Stop), points the output folder at
# the recording, writes an uncompressed movie with "Write Avi" and takes a screenshot of the window
# during the recording. Prints where the recording, the movie and the screenshot are, and ends every
# process it started.
#
# Usage: demo.sh [BUILD_DIR [OUTPUT_DIR]]
#   BUILD_DIR   holds app/skorva and tests/skorva_viewer_fixture (default build/release)
#   OUTPUT_DIR  the demonstration's own folder, emptied first (default build/demo)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
out=${2:-build/demo}
skorva=$(realpath -m "$build/app/skorva")
fixture=$(realpath -m "$build/tests/skorva_viewer_fixture")
out=$(realpath -m "$out")

# Places in the program's window, in pixels from its top-left corner: the window is laid out in twips,
# 15 to the pixel.
list_first_entry=(40 12)
start_button=(145 100)
stop_button=(195 100)
folder_button=(17 125)
write_avi_button=(296 183)

fail() {
    echo "demo: $*" >&2
    exit 1
}

if [ "${SKORVA_DEMO_DISPLAY:-}" != "private" ]; then
    for program in Xvfb openbox xdotool xprop xwininfo import; do
        command -v "$program" >/dev/null || fail "$program is missing (bash scripts/install-deps.sh installs it)"
    done
    [ -x "$skorva" ] || fail "no program at $skorva: build the target skorva first"
    [ -x "$fixture" ] || fail "no sample viewer at $fixture: build the target skorva_viewer_fixture first"
    # Only a folder this script made is emptied.
    if [ -e "$out" ]; then
        [ -f "$out/.skorva-demo" ] || [ -z "$(ls -A "$out")" ] ||
            fail "$out exists and was not made by this demonstration; name another folder"
        rm -rf "$out"
    fi
    mkdir -p "$out"
    touch "$out/.skorva-demo"

    # Every step below waits with its own limit; this one bounds the whole run, and its signal reaches
    # every process the run started (they share its process group). timeout leaves the terminal's
    # process group, so an interrupt is handed on to it here.
    SKORVA_DEMO_DISPLAY=private timeout --kill-after=10 300 \
        bash scripts/with-xvfb.sh bash "$0" "$build" "$out" &
    runner=$!
    stop_runner() {
        kill -TERM "$runner" 2>/dev/null || true
        wait "$runner" 2>/dev/null || true
        fail "interrupted"
    }
    trap stop_runner INT TERM
    status=0
    wait "$runner" || status=$?
    [ "$status" -eq 124 ] && fail "the demonstration did not finish within 300 s"
    exit "$status"
fi

# From here on DISPLAY names the private Xvfb that scripts/with-xvfb.sh started.
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# A picture of the whole screen and the list of its windows beside the message, so that a failed step
# can be seen afterwards.
fail_with_screen() {
    import -window root "$out/failure.png" 2>/dev/null || true
    xwininfo -root -tree >"$out/failure-windows.txt" 2>&1 || true
    fail "$* (the screen at that moment: $out/failure.png, its windows: $out/failure-windows.txt)"
}

# wait_for_window TITLE_REGEX WHAT SECONDS: prints the id of the visible window once it is there.
wait_for_window() {
    local id
    id=$(timeout "$3" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] || fail_with_screen "$2 did not appear within $3 s"
    echo "$id"
}

# wait_until_gone TITLE_REGEX WHAT: returns once no visible window has that title.
wait_until_gone() {
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail_with_screen "$2 did not close"
}

# click X Y: a left click at that place of the program's window, once it has the focus back from the
# dialog before.
click() {
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool mousemove --window "$window" "$1" "$2"
    sleep 0.3
    xdotool click 1
}

# type_into_dialog ID TEXT: replaces the text of the dialog's focused line edit and presses Enter.
type_into_dialog() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 10 "$2"
    xdotool key Return
}

# choose_folder PATH: the folder button, then the path typed into the "Browse" dialog.
choose_folder() {
    click "${folder_button[@]}"
    local dialog
    dialog=$(wait_for_window '^Browse$' 'The folder dialog "Browse"' 60)
    type_into_dialog "$dialog" "$1"
    wait_until_gone '^Browse$' 'The folder dialog "Browse"'
}

jpeg_count() {
    find "$1" -maxdepth 1 -type f -name '*.jpg' | wc -l
}

# The sample viewer window; stdin is a pipe held open by this script, so that it runs until killed. It
# prints its window once the window is mapped.
fifo="$out/.viewer-input"
rm -f "$fifo"
mkfifo "$fifo"
exec 7<>"$fifo"
"$fixture" "x=640 y=160 w=400 h=400 moving title=Webcam for demo" <&7 >"$out/.viewer-output" \
    2>"$out/.viewer-errors" &
pids+=($!)
for _ in $(seq 100); do
    grep -q '^window 0x' "$out/.viewer-output" && break
    sleep 0.2
done
grep -q '^window 0x' "$out/.viewer-output" ||
    fail_with_screen "the sample viewer window did not open: $(cat "$out/.viewer-errors")"

# The program, as an X11 client whatever session the caller is in; it fills its list at start. Its
# settings (the file dialogs' history) stay in the demonstration's folder, apart from the user's own.
mkdir -p -m 700 "$out/.config" "$out/.runtime"
env -u XDG_SESSION_TYPE -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$out/.config" \
    XDG_RUNTIME_DIR="$out/.runtime" "$skorva" >"$out/.skorva-output" 2>&1 &
pids+=($!)
window=$(wait_for_window '^Skorva webcam capture$' "The program's window" 60)
xdotool windowmove --sync "$window" 40 40 >/dev/null 2>&1 || true
sleep 0.5

# Recordings go below the demonstration's folder rather than beside the program.
choose_folder "$out"

# Select the viewer window in the list and record.
click "${list_first_entry[@]}"
click "${start_button[@]}"
recording=
for _ in $(seq 50); do
    recording=$(find "$out" -mindepth 1 -maxdepth 1 -type d ! -name '.*' | head -n 1)
    [ -n "$recording" ] && break
    sleep 0.2
done
[ -n "$recording" ] || fail_with_screen "Start made no recording folder in $out"

screenshot="$out/screenshot.png"
for _ in $(seq 150); do
    [ "$(jpeg_count "$recording")" -ge 3 ] && break
    sleep 0.2
done
[ "$(jpeg_count "$recording")" -ge 3 ] || fail_with_screen "the recording stored no frames in $recording"
# The window with its title bar, during the recording.
import -frame -window "$window" "$screenshot" 2>/dev/null || import -window "$window" "$screenshot"

for _ in $(seq 150); do
    [ "$(jpeg_count "$recording")" -ge 5 ] && break
    sleep 0.2
done
click "${stop_button[@]}"

# The movie: the output folder pointed at the recording, then "Write Avi" with full frames. The ticks
# run on the window's thread, which takes the clicks in order: once the folder dialog is up, Stop has been
# handled and every frame is stored.
movie="$out/demo.avi"
choose_folder "$recording"
frames=$(jpeg_count "$recording")
click "${write_avi_button[@]}"
dialog=$(wait_for_window '^Choose a filename to save AVI to\.\.\.$' 'The save dialog' 60)
type_into_dialog "$dialog" "$movie"
wait_until_gone '^Choose a filename to save AVI to' 'The save dialog'
dialog=$(wait_for_window '^Video Compression$' 'The codec dialog' 60)
# "Full Frames (Uncompressed)" is selected when the dialog opens.
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key Return
wait_until_gone '^Video Compression$' 'The codec dialog'

# The write runs on a thread of its own, and the window drops every click until it is over: the movie
# takes its name once it is finished, and the folder dialog opens at the first click after the write.
for _ in $(seq 600); do
    [ -s "$movie" ] && break
    sleep 0.2
done
[ -s "$movie" ] || fail_with_screen "no movie at $movie"
dialog=
for _ in $(seq 60); do
    click "${folder_button[@]}"
    dialog=$(timeout 2 xdotool search --sync --onlyvisible --name '^Browse$' 2>/dev/null | head -n 1) || true
    [ -n "$dialog" ] && break
done
[ -n "$dialog" ] || fail_with_screen 'The program after "Write Avi" did not open the folder dialog'
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key Escape
wait_until_gone '^Browse$' 'The folder dialog "Browse"'

[ -s "$movie" ] || fail_with_screen "no movie at $movie"
rm -f "$fifo" "$out/.viewer-output" "$out/.viewer-errors"

echo "Recording:  $recording ($frames frames)"
echo "Movie:      $movie"
echo "Screenshot: $screenshot"
