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
log="$build/build.log"
if ! cmake --build "$build" -j2 > "$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
# shellcheck disable=SC2086  # ZRN_CTEST_ARGS holds several arguments
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 ${ZRN_CTEST_ARGS:-}
