#!/usr/bin/env bash
# Builds the program (if needed) and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

source "$root/scripts/lib.sh"

"$root/scripts/setup.sh" build run
zrn_configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
zrn_build "$build" --target zrn-calipers

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    cat >&2 <<'MSG'
ZRN Calipers needs a graphical desktop, and none was found (DISPLAY is not set).
Start it from a desktop session, or under a virtual X server:
    Xvfb :99 -screen 0 1920x1080x24 -noreset &
    DISPLAY=:99 scripts/run.sh
MSG
    exit 1
fi
exec "$build/app/zrn-calipers"
