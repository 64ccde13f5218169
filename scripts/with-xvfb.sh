#!/usr/bin/env bash
# Runs a command with its own Xvfb display (1920x1080x24, no window manager).
# Xvfb picks a free display number itself (-displayfd), so runs side by side
# never race for one. -noreset: by default the server resets when its last
# client leaves and refuses connections meanwhile, which short test
# processes hit all the time.
set -euo pipefail
fifo="$(mktemp -u)"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r display <"$fifo"
export DISPLAY=":$display"
"$@"
