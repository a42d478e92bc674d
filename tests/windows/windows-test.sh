#!/usr/bin/env bash
# The Windows program as its users get it, unpacked from the zip that
# scripts/windows.sh writes, under Wine on the private X server of this test
# (1920 x 1080), driven with xdotool and read back through what Windows itself
# reports to a probe program of the test's own: the executable's subsystem,
# exports and version block; where the panel and the overlay are, and the
# overlay's extended styles; which clicks reach the probe's window beneath the
# overlay; that the overlay refuses WM_CLOSE; that a second start hands over and
# ends with 0; and the exit code when the panel's "×" is clicked.
# Usage: windows-test.sh <zrn-calipers-<version>-windows-x64.zip> <probe.exe> <artifacts folder>
set -uo pipefail
zip=$1 probe=$2 artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
objdump=x86_64-w64-mingw32-objdump
work=$(mktemp -d)
mkdir -p "$WINEPREFIX" "$artifacts"
rm -f "$artifacts"/*.png

failures=0
pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

program_pid="" probe_pid=""
cleanup() {
    [[ -n $program_pid ]] && kill "$program_pid" 2> /dev/null
    [[ -n $probe_pid ]] && kill "$probe_pid" 2> /dev/null
    wineserver -k 2> /dev/null
    wineserver -w 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

finish() {
    import -window root "$artifacts/screen-end.png" 2> /dev/null
    if ((failures)); then
        echo "$failures check(s) failed; screenshots in $artifacts" >&2
        [[ -s $work/program.log ]] && { echo "program output:" >&2; cat "$work/program.log" >&2; }
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# --- The package --------------------------------------------------------------------

# One folder named like the zip, with the program and everything it loads.
package=$(basename "$zip" .zip)
(cd "$work" && cmake -E tar xf "$zip") || { fail "the zip $zip does not unpack"; finish; }
exe="$work/$package/zrn-calipers.exe"
check "the zip holds $package/zrn-calipers.exe and qt.conf" \
    test -f "$exe" -a -f "$work/$package/qt.conf"

# --- The executable as Windows sees it, before it runs ----------------------------

headers=$("$objdump" -p "$exe")
check "GUI subsystem (no console)" grep -Eq '^Subsystem\s+00000002\s+\(Windows GUI\)' <<< "$headers"
# The names as the compiler decorated them (a C++ function), read back undecorated.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<< "$headers" \
    | sed -n 's/^\s*\[ *[0-9]*\] //p' | x86_64-w64-mingw32-c++filt)
check "export table holds exactly qml_register_types_ZRNCalipers() (saw: ${exports//$'\n'/ })" \
    test "$exports" = "qml_register_types_ZRNCalipers()"
check "export name zrn-calipers.exe" grep -Eq '^Name\s+[0-9a-f]+\s+zrn-calipers\.exe$' <<< "$headers"

wine "$probe" version "$exe" 2> /dev/null | tr -d '\r' > "$work/version"
check "version block: 3.2.0.0 and the seven strings" diff -u "$here/version.expected" "$work/version"

# --- The running program ----------------------------------------------------------

# wait_for <seconds> <command...>: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# The program's visible top-level windows, as "x y w h exstyle region title" lines.
list_windows() {
    wine "$probe" windows zrn-calipers.exe 2> /dev/null | tr -d '\r' \
        | sed -n 's/^window \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\) exstyle=\(0x[0-9a-f]*\) region=\([-0-9,a-z]*\) title=\(.*\)$/\1 \2 \3 \4 \5 \6 \7/p'
}
is_overlay() { # an overlay: a tool window that covers the display
    local ex=$5
    (((ex & 0x80) != 0)) && [[ "$1 $2 $3 $4" == "0 0 1920 1080" ]]
}
overlays() {
    local line
    while read -r line; do
        # shellcheck disable=SC2086 # the fields of a line
        is_overlay $line && echo "$line"
    done < <(list_windows)
}
overlay_style() { overlays | sed -n 1p | cut -d' ' -f5; }
transparent_is() { # transparent_is yes|no: the overlay's WS_EX_TRANSPARENT
    local ex
    ex=$(overlay_style)
    [[ -n $ex ]] || return 1
    if [[ $1 == yes ]]; then (((ex & 0x20) != 0)); else (((ex & 0x20) == 0)); fi
}
# Moves the pointer, then waits until the overlay's styles agree (the pointer
# over a caliper: it takes the mouse; elsewhere: transparent to hit testing).
pointer_to() { # pointer_to x y yes|no
    xdotool mousemove "$1" "$2"
    wait_for 15 transparent_is "$3"
}

probe_log="$work/probe.log"
probe_got() { grep -qx "press $1 $2 $3" "$probe_log"; } # probe_got left|right x y

wine "$probe" window 0 0 1920 1080 > "$probe_log" 2> /dev/null &
probe_pid=$!
wait_for 60 grep -q ready "$probe_log" || { fail "the probe's window did not appear"; finish; }

# Qt Quick's basic render loop: with the threaded one, main returns under Wine
# but the process then hangs in mingw-w64's libstdc++-6.dll detaching at exit
# (a plain Qt Quick program with a child window does the same), so the exit code
# after "×" could not be read.
QSG_RENDER_LOOP=basic wine "$exe" > "$work/program.log" 2>&1 &
program_pid=$!
panel_line() { # the panel: "ZRN Calipers", and no tool window
    local line
    while read -r line; do
        # shellcheck disable=SC2086 # the fields of a line
        set -- $line
        (((${5} & 0x80) == 0)) && [[ $line == *" ZRN Calipers" ]] && { echo "$line"; return 0; }
    done < <(list_windows)
    return 1
}
wait_for 90 panel_line > /dev/null || { fail "no control panel appeared"; finish; }
wait_for 30 test -n "$(overlays)" || { fail "no overlay appeared"; finish; }
read -r px py pw ph _ < <(panel_line)

# Where the panel goes: the first display (the only one here), a third across,
# centred vertically, 190 x 390.
check "panel at 545,345 190x390 (saw $px,$py ${pw}x$ph)" test "$px $py $pw $ph" = "545 345 190 390"
check "one overlay covers the display (saw: $(overlays | wc -l))" test "$(overlays | wc -l)" = 1
ex=$(overlay_style)
check "overlay carries WS_EX_NOACTIVATE and WS_EX_TOOLWINDOW ($ex)" \
    test $((ex & 0x08000080)) = $((0x08000080))
check "overlay is layered ($ex)" test $((ex & 0x00080000)) = $((0x00080000))
check "without calipers the overlay is transparent to hit testing ($ex)" test $((ex & 0x20)) = 32
import -window root -crop "${pw}x${ph}+${px}+${py}" "$artifacts/panel-windows.png" 2> /dev/null

# Nothing on the overlay: a click anywhere reaches the probe beneath.
xdotool mousemove 300 900 click 1
check "a click on the empty overlay reaches the probe" wait_for 15 probe_got left 300 900

# "Add Caliper" and "Add Rhythm": the first two palette buttons. The first caliper
# spans x 910 to 1010 at y 480, the rhythm caliper 934 to 1034 at y 498, its
# repeats every 100 pixels to the right.
button_x=$((px + 95))
add_caliper_y=$((py + 103)) add_rhythm_y=$((py + 140))
xdotool mousemove $button_x $add_caliper_y click 1
check "the pointer on the new caliper's line: the overlay takes the mouse" pointer_to 910 300 no
check "the pointer off the calipers: transparent to hit testing again" pointer_to 300 900 yes
xdotool mousemove $button_x $add_rhythm_y click 1
check "the pointer on the rhythm caliper's line: the overlay takes the mouse" pointer_to 934 300 no
import -window root "$artifacts/screen-calipers.png" 2> /dev/null

# Clicks in order: on a line (kept), on a label, on a rhythm repeat and on an
# empty part (all three passed on). Presses reach the probe in order, so once the
# last one is there any earlier one that passed would be there too.
: > "$probe_log.mark"
pointer_to 910 300 no && xdotool click 1
pointer_to 1023 492 yes && xdotool click 1
pointer_to 1334 498 yes && xdotool click 1
pointer_to 300 900 yes && xdotool click 1
wait_for 15 probe_got left 300 900
check "a click on a caliper's label reaches the probe" probe_got left 1023 492
check "a click on a rhythm caliper's repeat reaches the probe" probe_got left 1334 498
check "a click on a caliper's line does not reach the probe" test "$(grep -c 'press left 910 300' "$probe_log")" = 0

# Dragging the first caliper's right handle from x 1010 to 1110 moves its line.
# While a drag runs the overlay shows its whole window (its window region): the
# press has been taken when the region grows, the release when it shrinks again.
overlay_region_whole() { [[ $(overlays | sed -n 1p | cut -d' ' -f6) == 0,0,1920,1080 ]]; }
overlay_region_parts() { ! overlay_region_whole; }
if pointer_to 1010 300 no; then
    xdotool mousedown 1
    wait_for 15 overlay_region_whole || fail "the press on the handle started no drag"
    xdotool mousemove 1030 300 mousemove 1070 310 mousemove 1110 330 mouseup 1
    wait_for 15 overlay_region_parts || fail "the drag did not end with the release"
    check "after the drag the moved line takes the mouse at x 1110" pointer_to 1110 300 no
    check "and the old place at x 1010 lets it through" pointer_to 1010 300 yes
    xdotool click 1
    check "a click where the line was reaches the probe" wait_for 15 probe_got left 1010 300
else
    fail "the pointer on the first caliper's right line: the overlay did not take the mouse"
fi
import -window root "$artifacts/screen-dragged.png" 2> /dev/null

# The system's close request (WM_CLOSE) leaves the overlay where it is.
overlay_title=$(overlays | sed -n 1p | sed 's/^[^ ]* [^ ]* [^ ]* [^ ]* [^ ]* [^ ]* //')
check "the overlay has a title of its own, naming its display ($overlay_title)" \
    test "${overlay_title#Caliper overlay on }" != "$overlay_title"
closed=$(wine "$probe" close zrn-calipers.exe "$overlay_title" 2> /dev/null | tr -d '\r')
check "WM_CLOSE reached the overlay ($closed)" test "$closed" = "closed 1"
check "after WM_CLOSE the overlay is still there" test "$(overlays | wc -l)" = 1

# A second start hands over to the first and ends with 0: still one panel and
# one overlay.
QSG_RENDER_LOOP=basic timeout 60 wine "$exe" > "$work/second.log" 2>&1
code=$?
check "a second start ends with exit code 0 (saw $code)" test "$code" = 0
check "still one panel" test "$(list_windows | grep -c ' ZRN Calipers$')" = 1
check "still one overlay" test "$(overlays | wc -l)" = 1

# A drag of the panel's header moves the panel by the drag's distance, here
# through the system's own move, and the release ends it: the pointer goes on,
# the panel stays, and a click on its "Add Caliper" where it now is makes the
# third caliper (x 958 to 1058).
panel_at() { [[ $(panel_line | cut -d' ' -f1,2) == "$1 $2" ]]; }
system_move_is() { [[ $(wine "$probe" moving zrn-calipers.exe 2> /dev/null | tr -d '\r') == "moving $1" ]]; }
read -r px py _ < <(panel_line)
xdotool mousemove $((px + 60)) $((py + 20)) mousedown 1
if wait_for 15 system_move_is yes; then
    xdotool mousemove $((px + 100)) $((py + 40)) mousemove $((px + 210)) $((py + 100)) mouseup 1
    wait_for 15 system_move_is no || fail "the system's move did not end with the release"
    xdotool mousemove $((px + 400)) $((py + 300)) mousemove $((px + 500)) $((py + 200))
    check "a header drag moves the panel to $((px + 150)),$((py + 80))" \
        wait_for 15 panel_at $((px + 150)) $((py + 80))
    xdotool mousemove $((px + 150 + 95)) $((py + 80 + 103)) click 1
    check "after the release the panel stays: its button makes a caliper where it now is" \
        pointer_to 958 300 no
    check "and the panel is still at $((px + 150)),$((py + 80))" panel_at $((px + 150)) $((py + 80))
else
    fail "a press in the panel's header started no system move"
    xdotool mouseup 1
fi
import -window root "$artifacts/screen-moved.png" 2> /dev/null

# Closing the panel with "×" ends the process with exit code 0.
read -r px py _ < <(panel_line)
xdotool mousemove $((px + 190 - 19)) $((py + 20)) click 1
deadline=$((SECONDS + 30))
while kill -0 "$program_pid" 2> /dev/null && ((SECONDS < deadline)); do sleep 0.2; done
if kill -0 "$program_pid" 2> /dev/null; then
    fail "the program did not end after the panel's close button"
else
    wait "$program_pid"
    code=$?
    program_pid=""
    check "closing the panel ends the program with exit code 0 (saw $code)" test "$code" = 0
fi
finish
