#!/usr/bin/env bash
# Closing the control panel with its close button ends the program with exit
# code 0, whatever other windows were open before: the information window
# (opened and closed again, or still open), a help tooltip, the duration list.
set -euo pipefail
source "$(dirname "$0")/common.sh"
app=$1

# Header buttons, 26 x 22: close "×" at the right of the first row (clicked
# near its left end, which an open information window leaves free), the
# information button second from the right of the second row.
close_x=162 close_y=19
info_x=143 info_y=39
# The help badge of "Add Caliper", and the duration selector.
badge_x=164 badge_y=103
duration_x=95 duration_y=310

# Waits (at most 10 s) until the program shows $1 visible windows of width $2.
wait_windows_of_width() {
    local count=$1 width=$2 deadline=$((SECONDS + 10)) n
    while ((SECONDS < deadline)); do
        n=0
        for w in $(xdotool search --onlyvisible --pid "$pid" 2> /dev/null || true); do
            eval "$(xdotool getwindowgeometry --shell "$w" 2> /dev/null || echo WIDTH=0)"
            [[ "$WIDTH" == "$width" ]] && n=$((n + 1))
        done
        [[ "$n" == "$count" ]] && return 0
        sleep 0.1
    done
    echo "expected $count window(s) $width wide, found $n" >&2
    return 1
}

scenario() {
    case $1 in
    plain) ;;
    info-closed)
        xdotool mousemove --window "$panel" $info_x $info_y click 1
        wait_windows_of_width 1 430
        info=$(find_window "About ZRN Calipers")
        xdotool mousemove --window "$info" 411 18 click 1
        wait_windows_of_width 0 430
        ;;
    info-open)
        xdotool mousemove --window "$panel" $info_x $info_y click 1
        wait_windows_of_width 1 430
        ;;
    tooltip)
        xdotool mousemove --window "$panel" $badge_x $badge_y
        wait_windows_of_width 1 238
        ;;
    duration-list)
        xdotool mousemove --window "$panel" $duration_x $duration_y click 1
        wait_windows_of_width 1 220
        xdotool key Escape
        wait_windows_of_width 0 220
        ;;
    esac
}

for name in plain info-closed info-open tooltip duration-list; do
    start_with_panel "$app"
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    [[ "$WIDTH" == 190 && "$HEIGHT" == 390 ]] || { echo "panel is ${WIDTH}x${HEIGHT}" >&2; exit 1; }
    scenario "$name"
    xdotool mousemove --window "$panel" $close_x $close_y click 1
    wait_exit "$pid" || { echo "$name: the program kept running" >&2; exit 1; }
    trap - EXIT
    [[ "$exit_code" == 0 ]] || { echo "$name: exit code $exit_code, expected 0" >&2; exit 1; }
    echo "$name: panel closed, exit code 0"
done
