#!/usr/bin/env bash
# Runs a Windows test program under Wine with the prefix in $WINEPREFIX (created
# on first use), then waits for that prefix's wineserver to finish so that
# nothing outlives the test's X server.
set -uo pipefail
mkdir -p "$WINEPREFIX"
wine "$@"
rc=$?
wineserver -w
exit $rc
