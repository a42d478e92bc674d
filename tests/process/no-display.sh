#!/usr/bin/env bash
# Without a display to open (DISPLAY unset, or naming an X server or a screen
# that isn't there) the program says so in one line naming the display, and
# ends with exit code 1: no abort, no core, no window anywhere.
set -euo pipefail
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A core would land here (where the system writes cores to the working folder).
cd "$work"
ulimit -c unlimited 2> /dev/null || true

# The display of this test's own server with a screen it lacks.
missing_screen="${DISPLAY%.*}.7"
for case in unset ":99.7" "$missing_screen"; do
    exit_code=0
    if [[ $case == unset ]]; then
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=x11 \
            timeout 30 "$app" > out 2> err || exit_code=$?
        expected="DISPLAY is not set"
    else
        env -u WAYLAND_DISPLAY DISPLAY="$case" QT_QPA_PLATFORM=xcb XDG_SESSION_TYPE=x11 \
            timeout 30 "$app" > out 2> err || exit_code=$?
        expected="\"$case\""
    fi
    [[ "$exit_code" == 1 ]] || { echo "$case: exit code $exit_code, expected 1:" >&2; cat err >&2; exit 1; }
    lines=$(wc -l < err)
    [[ "$lines" == 1 ]] || { echo "$case: $lines lines on stderr, expected 1:" >&2; cat err >&2; exit 1; }
    grep -qF "$expected" err || { echo "$case: the line does not say $expected:" >&2; cat err >&2; exit 1; }
    [[ ! -s out ]] || { echo "$case: wrote to stdout:" >&2; cat out >&2; exit 1; }
    cores=$(find . -maxdepth 1 -name 'core*' | wc -l)
    [[ "$cores" == 0 ]] || { echo "$case: a core file was written" >&2; exit 1; }
    echo "$case: $(cat err)"
done
