#!/usr/bin/env bash
# Runs a command against a private Xvfb server (its own display number, so
# tests can run in parallel) and stops the server afterwards.
# Usage: with-xvfb.sh [--screen WxHxD] -- command args...
set -euo pipefail
screen="1920x1080x24"
if [[ "${1:-}" == "--screen" ]]; then screen="$2"; shift 2; fi
[[ "${1:-}" == "--" ]] && shift

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -noreset -nolisten tcp +extension RANDR 3> "$fifo" \
    > /dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 number < "$fifo" || { echo "with-xvfb.sh: Xvfb did not start" >&2; exit 1; }
rm -f "$fifo"
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT

export DISPLAY=":$number"
unset WAYLAND_DISPLAY
"$@"
