#!/usr/bin/env bash
# Builds the benchmarks (optimised) and prints their figures as a Markdown table.
# Not a test: nothing here passes or fails on a figure.
# Usage: scripts/bench.sh        (build folder: build-bench/, or $ZRN_BENCH_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${ZRN_BENCH_BUILD_DIR:-$root/build-bench}"

source "$root/scripts/lib.sh"

"$root/scripts/setup.sh" build run test
zrn_configure "$build" -DCMAKE_BUILD_TYPE=Release -DZRN_BUILD_BENCHMARKS=ON -DZRN_BUILD_TESTS=OFF
zrn_build "$build" --target zrn-bench zrn-calipers

bench="$build/bench/zrn-bench"
xvfb="$root/tests/support/with-xvfb.sh"
errors="$build/bench-stderr.log"
: > "$errors"
export LC_ALL=C.UTF-8
# Frames are rendered as soon as they are asked for, not on Qt's 5 ms idle timer.
export QT_QPA_UPDATE_IDLE_TIME=0

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | sed -n 1p)
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
qt=$(qtpaths6 --qt-version 2> /dev/null || echo "?")
gl=$("$xvfb" --screen 640x480x24 -- env QT_QPA_PLATFORM=xcb "$bench" opengl 2>> "$errors" || true)
echo "Machine: $cpu, $(nproc) cores, $mem; $os; Qt $qt; Xvfb OpenGL: ${gl:-none}"
echo
echo "| Measurement | Case | Median | p95 | Note |"
echo "|---|---|---|---|---|"
QT_QPA_PLATFORM=offscreen "$bench" rows 2>> "$errors" || true
QT_QPA_PLATFORM=offscreen "$bench" hittest 2>> "$errors" || true
for size in 1920x1080 3840x2160; do
    "$xvfb" --screen 3840x2160x24 -- env QT_QPA_PLATFORM=xcb QT_QUICK_BACKEND=software \
        "$bench" frames "$size" 2>> "$errors" || true
    if [[ -n "$gl" && "$gl" != none ]]; then
        "$xvfb" --screen 3840x2160x24 -- env QT_QPA_PLATFORM=xcb QSG_RHI_BACKEND=opengl \
            "$bench" frames "$size" 2>> "$errors" || true
        # Nothing named: the renderer the program picks for this machine.
        "$xvfb" --screen 3840x2160x24 -- env -u QT_QUICK_BACKEND -u QSG_RHI_BACKEND \
            QT_QPA_PLATFORM=xcb "$bench" frames "$size" 2>> "$errors" | sed 's/, software |/, software (picked) |/' || true
    else
        echo "| Drag frame (move → frame swapped) | $size, OpenGL | n/a | n/a | no OpenGL under Xvfb |"
    fi
done
"$xvfb" --screen 1920x1080x24 -- "$bench" startup 2>> "$errors" || true
echo
echo "Budgets: one frame at 60 Hz = 16.7 ms, at 144 Hz = 6.9 ms. Messages of the runs: $errors"
