#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${ZRN_TEST_BUILD_DIR:-$root/build-tests}"

source "$root/scripts/lib.sh"

"$root/scripts/setup.sh" build run test
zrn_configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRN_WERROR=ON "$@"
zrn_build "$build"
# shellcheck disable=SC2086  # ZRN_CTEST_ARGS holds several arguments
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 ${ZRN_CTEST_ARGS:-}
