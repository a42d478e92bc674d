#!/usr/bin/env bash
# Compiles the version resource and compares what it holds with the expected
# block; any other resource (an icon, a manifest) makes the test fail.
set -euo pipefail
windres=$1 rc=$2 expected=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$windres" -i "$rc" -O res -o "$work/version.res"
"$windres" -i "$work/version.res" -J res -O rc -o "$work/decompiled.rc"
grep -v '^\s*$' "$work/decompiled.rc" | grep -v '^/\*\|^   Name:' > "$work/actual"
diff -u "$expected" "$work/actual"
