#!/usr/bin/env bash
# Closing the control panel with its close button ends the program with exit code 0.
set -euo pipefail
source "$(dirname "$0")/common.sh"
app=$1

start_with_panel "$app"
eval "$(xdotool getwindowgeometry --shell "$panel")"
[[ "$WIDTH" == 190 && "$HEIGHT" == 390 ]] || { echo "panel is ${WIDTH}x${HEIGHT}" >&2; exit 1; }

# The close button "×" is the last button of the header's first row:
# 26 x 22 at x 158, with the row starting 8 pixels below the top.
xdotool mousemove --window "$panel" 171 19 click 1

wait_exit "$pid"
trap - EXIT
[[ "$exit_code" == 0 ]] || { echo "exit code $exit_code, expected 0" >&2; exit 1; }
echo "panel closed, exit code 0"
