#!/usr/bin/env bash
# Idle cost of a running instance, measured as a user's desktop would run it: one Xvfb with
# a tray host (trayer), a private PulseAudio server and Secret Service. With a yardstick
# program installed (copyq) it runs beside it on the same display. After a settling time,
# prints for each the CPU time used over SECONDS (percent of one core), its proportional set
# size (PSS: libraries both map count half for each) and its private memory, all taken over
# the same window. Other programs that map the same libraries lower both PSS figures; the
# comparison holds, the absolute figures are for a quiet machine.
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
private_kib() { awk '/^Private_(Clean|Dirty):/ { kib += $2 } END { print kib }' "/proc/$1/smaps_rollup"; }

# "<name>: CPU x.xx % of one core over N s (n ticks), PSS n MiB, private n MiB" for each
# running process given as name=pid, all measured over the same window.
measure() {
    sleep "$settle"
    local pair name pid
    declare -A before
    for pair in "$@"; do
        pid=${pair#*=}
        kill -0 "$pid" 2>/dev/null || { echo "${pair%%=*}: exited before the measurement" >&2; return 1; }
        before[$pid]=$(cpu_ticks "$pid")
    done
    sleep "$seconds"
    for pair in "$@"; do
        name=${pair%%=*} pid=${pair#*=}
        awk -v n="$name" -v d="$(($(cpu_ticks "$pid") - ${before[$pid]}))" -v t="$ticks" -v s="$seconds" \
            -v p="$(pss_kib "$pid")" -v u="$(private_kib "$pid")" \
            'BEGIN { printf "%s: CPU %.3f %% of one core over %d s (%d ticks), PSS %.1f MiB, private %.1f MiB\n", n, 100 * d / (t * s), s, d, p / 1024, u / 1024 }'
    done
}

trayer --edge bottom --expand true >/dev/null 2>&1 &
pids+=($!)
sleep 1

export ORVANTA_SERVICE_URL=${ORVANTA_SERVICE_URL:-http://127.0.0.1:9}
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
"$executable" >"$HOME/orvanta.log" 2>&1 &
pids+=($!)
measured=("orvanta=$!")
if command -v copyq >/dev/null; then
    copyq >"$HOME/copyq.log" 2>&1 &
    pids+=($!)
    measured+=("copyq=$!")
fi
measure "${measured[@]}"
