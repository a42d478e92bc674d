# Shared by the process tests: start the program and find its control panel.

# Waits (at most 30 s) for a visible window whose title is exactly $1 and
# prints its id. A search can die with an X error (BadWindow) when a window it
# looks at is destroyed meanwhile, as happens while the program creates its
# windows; the search is then simply repeated until the deadline.
find_window() {
    local deadline=$((SECONDS + 30)) found=""
    while ((SECONDS < deadline)); do
        found=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | sed -n 1p || true)
        [[ -n "$found" ]] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits (at most 30 s) for the background process $1 of this shell to end
# and sets exit_code to its exit code.
wait_exit() {
    local pid=$1
    timeout "${2:-30}" tail --pid="$pid" -f /dev/null || { echo "process $pid did not end" >&2; return 1; }
    exit_code=0
    wait "$pid" || exit_code=$?
}

# Whether the panel $panel lies above every other visible window of the
# program $pid, which has shown at least one overlay: the overlays are shown
# after the panel, which is raised again after each. Until then a click meant
# for the panel may land on an overlay.
panel_on_top() {
    local visible id v
    visible=$(xdotool search --onlyvisible --pid "$pid" 2> /dev/null) || return 1
    (($(wc -w <<< "$visible") >= 2)) || return 1
    # xwininfo lists the root's children from the top down.
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
        for v in $visible; do
            if ((id == v)); then
                ((id == panel))
                return
            fi
        done
    done
    return 1
}

# Starts the program $1 in the background (pid in $pid, stopped when the test
# script exits) and waits (at most 30 s) for its control panel (window id in
# $panel) to be shown above its overlays.
start_with_panel() {
    "$1" &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
    panel=$(find_window "ZRN Calipers" || true)
    [[ -n "$panel" ]] || { echo "no control panel appeared" >&2; exit 1; }
    local deadline=$((SECONDS + 30))
    until panel_on_top; do
        ((SECONDS < deadline)) || { echo "the panel never came above the overlays" >&2; exit 1; }
        sleep 0.1
    done
}
