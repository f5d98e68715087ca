#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb that has openbox as its window manager, then ends
# both by their PIDs. Usage: with-xvfb.sh COMMAND [ARGS...]
# SKORVA_XVFB_SCREEN sets the screen as WIDTHxHEIGHTxDEPTH (default 1280x1024x24).
set -euo pipefail

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${SKORVA_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
read -r display_number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$display_number"

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
cleanup() {
  kill "$wm_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$wm_pid" "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# openbox is ready once it has claimed the root window's supporting-WM property.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

"$@"
