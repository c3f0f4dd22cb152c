#!/usr/bin/env bash
# Renders every view (menu panel, floating bar, each settings section empty and filled, the
# recorder sheet) to PNG files on a private Xvfb display with the software renderer, at the
# scale factors 1, 1.5 and 2: <folder>/scale-<factor>/ (default folder: build/screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
build="$root/build/test"
cmake --build "$build" --target orvanta_view_preview >/dev/null
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
for scale in ${ORVANTA_SCREENSHOT_SCALES:-1 1.5 2}; do
    DISPLAY=$display QT_QPA_PLATFORM=xcb QT_QUICK_BACKEND=software QT_SCALE_FACTOR=$scale \
        ASAN_OPTIONS=detect_leaks=0 "$build/tests/tools/orvanta_view_preview" "$out/scale-$scale"
done
