#!/usr/bin/env bash
# Renders the menu panel and the floating bar in each look to PNG files (default:
# build/screenshots) on a private Xvfb display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
build="$root/build/test"
cmake --build "$build" --target orvanta_view_preview >/dev/null
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display QT_QUICK_BACKEND=software ASAN_OPTIONS=detect_leaks=0 \
    "$build/tests/tools/orvanta_view_preview" "$out"
