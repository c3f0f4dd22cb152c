#!/usr/bin/env bash
# Idle cost of a running instance, measured as a user's desktop would run it: one Xvfb with
# a tray host (trayer), a private PulseAudio server and Secret Service. After a settling
# time, prints the CPU time the process used over SECONDS (percent of one core) and its
# proportional set size (PSS). With a yardstick program installed (copyq) its figures are
# taken the same way, on the same display, for comparison.
# Usage: bench/idle-cost.sh ORVANTA_EXECUTABLE [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scripts="$root/tests/scripts"

if [ "${1:-}" != "--inside" ]; then
    [ $# -ge 1 ] || { echo "usage: $0 ORVANTA_EXECUTABLE [SECONDS]" >&2; exit 2; }
    exec "$scripts/with-secret-service.sh" "$scripts/with-xvfb.sh" "$scripts/with-pulseaudio.sh" \
        "$0" --inside "$(realpath "$1")" "${2:-60}"
fi
executable=$2
seconds=$3
settle=10
ticks=$(getconf CLK_TCK)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
pss_kib() { awk '/^Pss:/ { print $2 }' "/proc/$1/smaps_rollup"; }

# Measures one running process: "<name>: CPU x.xx % of one core over N s, PSS n MiB".
measure() {
    local name=$1 pid=$2
    sleep "$settle"
    kill -0 "$pid" 2>/dev/null || { echo "$name: exited before the measurement" >&2; return 1; }
    local before after
    before=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    awk -v n="$name" -v d="$((after - before))" -v t="$ticks" -v s="$seconds" -v p="$(pss_kib "$pid")" \
        'BEGIN { printf "%s: CPU %.3f %% of one core over %d s (%d ticks), PSS %.1f MiB\n", n, 100 * d / (t * s), s, d, p / 1024 }'
}

trayer --edge bottom --expand true >/dev/null 2>&1 &
pids+=($!)
sleep 1

export QT_QUICK_BACKEND=${QT_QUICK_BACKEND:-software}
export ORVANTA_SERVICE_URL=${ORVANTA_SERVICE_URL:-http://127.0.0.1:9}
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
"$executable" >"$HOME/orvanta.log" 2>&1 &
pids+=($!)
measure orvanta "$!"

if command -v copyq >/dev/null; then
    copyq >"$HOME/copyq.log" 2>&1 &
    pids+=($!)
    measure copyq "$!"
fi
