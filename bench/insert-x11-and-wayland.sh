#!/usr/bin/env bash
# Insert → text in a focused window of another process, on Xvfb and on headless sway, one
# after the other. Usage: bench/insert-x11-and-wayland.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
echo "== X11 (Xvfb)"
"$root/tests/scripts/with-xvfb.sh" "$build/bench/bench_text_insert" --benchmark_counters_tabular=true
echo "== Wayland (headless sway)"
"$root/tests/scripts/with-sway.sh" "$build/bench/bench_wayland_insert" --benchmark_counters_tabular=true
