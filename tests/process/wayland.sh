#!/usr/bin/env bash
# In a Wayland session the program runs on X11 when an X server is there, and
# otherwise says so in one line and ends with a non-zero exit code.
set -euo pipefail
source "$(dirname "$0")/common.sh"
app=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT

# Without an X server: one line, exit code 1, no window.
exit_code=0
env -u DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-zrn-test \
    timeout 30 "$app" > /dev/null 2> "$err" || exit_code=$?
[[ "$exit_code" == 1 ]] || { echo "without X: exit code $exit_code, expected 1" >&2; cat "$err" >&2; exit 1; }
lines=$(wc -l < "$err")
[[ "$lines" == 1 ]] || { echo "without X: $lines lines on stderr, expected 1:" >&2; cat "$err" >&2; exit 1; }
grep -q "Wayland" "$err" || { echo "without X: the line does not name Wayland" >&2; exit 1; }

# With an X server, even when Qt is told to use Wayland: the panel appears on X11.
export XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-zrn-test QT_QPA_PLATFORM=wayland
start_with_panel "$app"
echo "Wayland session: one line and exit code 1 without X, the panel on X11 with it"
