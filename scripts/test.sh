#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${ZRN_TEST_BUILD_DIR:-$root/build-tests}"

"$root/scripts/setup.sh" build run test
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRN_WERROR=ON \
        "$@" > /dev/null
fi
cmake --build "$build" -j2 | grep -Ev '^\[[0-9]+/[0-9]+\]|^ninja: no work' || true
test "${PIPESTATUS[0]}" -eq 0
ctest --test-dir "$build" --output-on-failure -j2 ${ZRN_CTEST_ARGS:-}
