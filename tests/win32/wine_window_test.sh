# The Windows program's main window under Wine, driven as a user drives it, with xdotool. Sourced by
# wine_test.sh after the command line's checks: it uses that script's prefix, fixture viewers and checks
# (open_viewer, fail, shows_viewer). The window is a console program run without a command; with
# SKORVA_PRINT_CONTROLS set it prints its controls' places in its client area, for the clicks.

window_title='Skorva webcam capture'

# end_viewers: the fixture viewers opened so far close, and are gone before the next step.
end_viewers() {
  for pid in ${fixtures[@]+"${fixtures[@]}"}; do kill "$pid" 2>/dev/null || true; done
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Webcam for' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the fixture viewers did not close"
}

# windows_of_program: the program's visible windows titled as the program, one X id a line.
windows_of_program() {
  xdotool search --onlyvisible --pid "$window_pid" --name "^$window_title\$" 2>/dev/null || true
}

# dialogs_of_program: the program's visible windows other than the main window, whatever their titles.
dialogs_of_program() {
  xdotool search --onlyvisible --pid "$window_pid" 2>/dev/null | grep -vx "$main_window" || true
}

# await_dialog SECONDS WHAT: waits for a window of the program beside the main window; sets dialog.
await_dialog() {
  dialog=
  for _ in $(seq $(($1 * 10))); do
    dialog=$(dialogs_of_program | head -n 1)
    [ -n "$dialog" ] && return 0
    sleep 0.1
  done
  fail "$2"
}

# answer_dialog KEY WHAT: sends KEY to the dialog and waits until the program shows no dialog.
answer_dialog() {
  activate "$dialog"
  xdotool key "$1"
  for _ in $(seq 50); do
    [ -z "$(dialogs_of_program)" ] && return 0
    sleep 0.1
  done
  fail "$2"
}

# activate WINDOW: brings it to the front; keys and clicks sent sooner are lost (Wine).
activate() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  sleep 0.3
}

# click CONTROL: a click in the middle of the control, as the window printed its place.
click() {
  local place
  place=$(tr -d '\r' <"$scratch/window.out" | awk -v name="$1" '$1 == "control" && $2 == name { print $3, $4, $5, $6 }')
  [ -n "$place" ] || fail "the window printed no place for $1"
  read -r l t r b <<<"$place"
  activate "$main_window"
  xdotool mousemove --window "$main_window" $(((l + r) / 2)) $(((t + b) / 2)) click 1
}

# select_first_viewer [CLICKS]: a click (or a double click: 2) on the list's first entry.
select_first_viewer() {
  local place
  place=$(tr -d '\r' <"$scratch/window.out" | awk '$1 == "control" && $2 == "List1" { print $3, $4 }')
  read -r l t <<<"$place"
  activate "$main_window"
  xdotool mousemove --window "$main_window" $((l + 20)) $((t + 8)) click --repeat "${1:-1}" --delay 80 1
}

# frames_in FOLDER: how many JPEG frames the folder holds.
frames_in() { find "$1" -maxdepth 1 -name '*.jpg' | wc -l; }

end_viewers
fixtures=()
# The program's own folder is the window's output folder at start: a folder of the test's own.
app=$scratch/app
mkdir -p "$app"
cp "$skorva" "$app/"
# Started in the scratch folder: a recording that missed the program's folder lands there, not elsewhere.
(cd "$scratch" && SKORVA_PRINT_CONTROLS=1 exec "$wine" "$app/skorva.exe" >window.out 2>window.err) &
window_pid=$!
main_window=
for _ in $(seq 300); do
  main_window=$(windows_of_program | head -n 1)
  [ -n "$main_window" ] && grep -q '^control aviwrite' "$scratch/window.out" && break
  sleep 0.1
done
[ -n "$main_window" ] || fail "the window \"$window_title\" did not open: $(cat "$scratch/window.err")"

# The folder chooser, cancelled: the box holds the program's folder again, where the recording below goes
# (an empty box would put it beside the scratch folder's other files instead).
click opendir
await_dialog 10 "the diskette button opened no folder chooser"
answer_dialog Escape "Escape did not close the folder chooser"

# Refresh List finds a viewer opened after the window; its first entry, Start, three frames, Stop.
open_viewer "Webcam for dora"
read -r _ _ _ left top right bottom _ client_x client_y <<<"$viewer_line"
grab_width=$((right - left - 50))
grab_height=$((bottom - top - 170))
click Command1
select_first_viewer
click cbbmp
click Start
recorded=
for _ in $(seq 150); do
  recorded=$(find "$app" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$recorded" ] && [ "$(frames_in "$recorded")" -ge 3 ] && break
  sleep 0.1
done
[ -n "$recorded" ] || fail "Start made no recording folder in the program's folder"
click btstop
# A tick comes each second: after a second and a half without a new frame, Stop has stopped them.
sleep 1.5
count=$(frames_in "$recorded")
[ "$count" -eq 3 ] || [ "$count" -eq 4 ] || fail "the window recorded $count frames, not 3 or 4"
for frame in "$recorded"/*.jpg; do
  size=$(ffprobe -v error -select_streams v -show_entries stream=width,height -of csv=p=0 "$frame")
  [ "$size" = "$grab_width,$grab_height" ] || fail "$frame is $size, not $grab_width,$grab_height"
  shows_viewer "$frame" 1 || fail "the window's frame $frame does not show the viewer's pixels"
  # Save as BMP was ticked: a bitmap of the same grab beside each frame.
  shows_viewer "${frame%.jpg}.bmp" 1 || fail "the bitmap of $frame does not show the viewer's pixels"
done

# Reset, then Start again: a second folder whose frames are numbered from 0000000 again; Pause stops it.
click reset
click Start
again=
for _ in $(seq 150); do
  again=$(find "$app" -mindepth 1 -maxdepth 1 -type d -not -path "$recorded" | head -n 1)
  [ -n "$again" ] && [ "$(frames_in "$again")" -ge 1 ] && break
  sleep 0.1
done
[ -n "$again" ] || fail "the second Start made no recording folder"
click pause
sleep 1.5
count=$(frames_in "$again")
sleep 1.5
[ "$(frames_in "$again")" -eq "$count" ] || fail "Pause did not stop the recording"
find "$again" -name '*0000000.jpg' | grep -q . || fail "after Reset the frames do not start at 0000000: $(ls "$again")"

# A double click on an entry starts its recording; a viewer closed mid-recording gives the program's
# message box, and Return closes it.
end_viewers
fixtures=()
open_viewer "Webcam for erin" --close-after 2500
click Command1
select_first_viewer 2
await_dialog 15 "a closed viewer gave no message box"
[ "$(xdotool getwindowname "$dialog")" = "$window_title" ] || fail "the box is not titled \"$window_title\""
# The box's text is a child control that xdotool cannot read (and Wine's copy of a box by Ctrl+C does not
# reach the X clipboard): the box is known by its owner and caption; its text is the recording's, which
# the command line's check above reads.
answer_dialog Return "Return did not close the message box"

# Closing the window ends the program.
activate "$main_window"
xdotool key alt+F4
for _ in $(seq 100); do
  kill -0 "$window_pid" 2>/dev/null || break
  sleep 0.1
done
! kill -0 "$window_pid" 2>/dev/null || fail "Alt+F4 did not close the window"
status=0
wait "$window_pid" || status=$?
[ "$status" -eq 0 ] || fail "the window's program ended with $status"
