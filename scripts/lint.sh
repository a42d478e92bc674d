#!/usr/bin/env bash
# Lint: qmllint on the QML documents (any warning fails) and clang-format on
# the C++ sources (any difference fails). Uses the test build's module folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${ZRN_TEST_BUILD_DIR:-$root/build-tests}"
cd "$root"

source "$root/scripts/lib.sh"
"$root/scripts/setup.sh" build run lint
zrn_configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRN_WERROR=ON
zrn_build "$build" --target zrn-calipers zrn-native-qmltypes

qmllint=$(find /usr/lib/qt6/bin /usr/lib/qt6/libexec -name qmllint -type f 2> /dev/null | sed -n 1p)
[[ -n "$qmllint" ]] || { echo "lint: qmllint not found" >&2; exit 1; }
"$build/tools/lint/zrn-native-qmltypes" "$build/lint"
out=$("$qmllint" -I "$build/qml" -I "$build/lint" app/qml/*.qml 2>&1) || true
if [[ -n "$out" ]]; then
    echo "$out" >&2
    echo "lint: qmllint reported $(grep -c '^Warning' <<< "$out") warnings" >&2
    exit 1
fi
echo "qmllint: $(ls app/qml/*.qml | wc -l) documents, no warnings"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}" 2> "$build/clang-format.log"; then
    grep -oE '^[^: ]+:[0-9]+:[0-9]+: (error|warning)' "$build/clang-format.log" | cut -d: -f1 \
        | sort -u | sed 's/^/clang-format: not formatted: /' >&2
    exit 1
fi
echo "clang-format: ${#sources[@]} files formatted"
