#!/usr/bin/env bash
# Runs a command against a private Xvfb server: the server picks a free display number
# itself (-displayfd, so concurrent runs never share one), runs with a private HOME and
# XDG_RUNTIME_DIR, and is stopped by its PID when the command ends.
# Usage: tests/scripts/with-xvfb.sh COMMAND [ARG...]
set -euo pipefail

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

mkdir -m 700 "$scratch/home" "$scratch/runtime"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
unset WAYLAND_DISPLAY

mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
number=""
# The server writes its display number once it accepts connections.
if ! read -r -t 30 number <"$scratch/display" || [ -z "$number" ]; then
    echo "with-xvfb.sh: Xvfb did not start" >&2
    cat "$scratch/xvfb.log" >&2 || true
    exit 1
fi

export DISPLAY=":${number}" QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"
