#!/usr/bin/env bash
# The running program names itself to the window system: application name in
# WM_CLASS, the panel's title, and the 180 x 180 calipers icon.
set -euo pipefail
source "$(dirname "$0")/common.sh"
app=$1

start_with_panel "$app"

fail=0
class=$(xprop -id "$panel" WM_CLASS)
echo "$class"
# Instance name from the executable, class name from the application name.
[[ "$class" == *'"zrn-calipers", "ZRN Calipers"'* ]] || { echo "wrong WM_CLASS" >&2; fail=1; }

name=$(xprop -id "$panel" _NET_WM_NAME)
echo "$name"
[[ "$name" == *'"ZRN Calipers"' ]] || { echo "wrong title" >&2; fail=1; }

icon=$(xprop -id "$panel" _NET_WM_ICON | sed -n 1,2p)
echo "$icon"
[[ "$icon" == *"Icon (180 x 180)"* ]] || { echo "no 180 x 180 icon" >&2; fail=1; }

exit "$fail"
