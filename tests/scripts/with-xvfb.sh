#!/usr/bin/env bash
# Runs a command against a private Xvfb server: picks a free display number, starts the
# server with a private HOME and XDG_RUNTIME_DIR, runs the command with DISPLAY set and stops
# the server by its PID when the command ends.
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

# A display number is free when neither its lock file nor its socket exists; Xvfb itself
# refuses a taken one, so a lost race only costs another try.
for number in $(seq 90 190); do
    [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] && continue
    Xvfb ":${number}" -screen 0 1280x800x24 -nolisten tcp -noreset >"$scratch/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X${number}" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X${number}" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=":${number}" QT_QPA_PLATFORM=xcb
        status=0
        "$@" || status=$?
        exit "$status"
    fi
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
done
echo "with-xvfb.sh: no free display for Xvfb" >&2
cat "$scratch/xvfb.log" >&2 || true
exit 1
