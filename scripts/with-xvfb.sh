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
export DISPLAY=":$display_number"

# openbox claims the screen before it is done starting, and a window mapped in between may never be
# managed: it runs its start-up command once it takes every request, and that command says so here.
exec 4<>"$fifo"
openbox --sm-disable --startup "sh -c 'echo >$fifo'" >/dev/null 2>&1 &
wm_pid=$!
cleanup() {
  kill "$wm_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$wm_pid" "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
read -r -t 60 _ <&4 || { echo "with-xvfb.sh: openbox did not start" >&2; exit 1; }
exec 4<&-
rm -f "$fifo"

"$@"
