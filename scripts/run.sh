#!/usr/bin/env bash
# Builds the program (if needed) and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/setup.sh" build run
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
log="$build/build.log"
if ! cmake --build "$build" -j2 --target zrn-calipers > "$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi

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
