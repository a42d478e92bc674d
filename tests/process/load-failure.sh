#!/usr/bin/env bash
# A main document that can't be created ends the program with exit code 1
# before any window is shown. A broken copy of a QML module the documents
# import, found first on Qt's own import path (QML_IMPORT_PATH, not a setting
# of the program), makes that import fail.
set -euo pipefail
source "$(dirname "$0")/common.sh"
app=$1
log=$(mktemp)
imports=$(mktemp -d)
trap 'rm -rf "$log" "$imports"; kill "$xev" 2>/dev/null || true' EXIT

# The Controls style the documents import, with a plugin that does not exist.
mkdir -p "$imports/QtQuick/Controls/Basic"
printf 'module QtQuick.Controls.Basic\nplugin zrnmissingstyleplugin\n' \
    > "$imports/QtQuick/Controls/Basic/qmldir"

# Record every top-level window mapped on this display from now on.
stdbuf -oL xev -root -event substructure -event property > "$log" &
xev=$!
# A root property change proves that the recorder is listening.
until grep -q _ZRN_PROBE "$log"; do
    xprop -root -f _ZRN_PROBE 8s -set _ZRN_PROBE ready
    timeout 1 tail --pid="$xev" -f /dev/null 2>/dev/null || true
done

QML_IMPORT_PATH="$imports" "$app" > "$log.out" 2>&1 &
pid=$!
wait_exit "$pid"
kill "$xev"
cat "$log.out" >&2
rm -f "$log.out"
[[ "$exit_code" == 1 ]] || { echo "exit code $exit_code, expected 1" >&2; exit 1; }
if grep -q MapNotify "$log"; then
    echo "a window was shown:" >&2
    grep -A2 MapNotify "$log" >&2
    exit 1
fi
echo "load failure: exit code 1, no window"
