#!/usr/bin/env bash
# Runs a command against a private headless mutter (GNOME's compositor) with XWayland, on a
# private session bus where mutter also serves its remote-desktop interface. The command gets
# WAYLAND_DISPLAY, and DISPLAY and XAUTHORITY of mutter's XWayland.
# Usage: tests/scripts/with-mutter.sh COMMAND [ARG...]
set -euo pipefail

if ! command -v mutter >/dev/null; then
    echo "with-mutter.sh: mutter is not installed" >&2
    exit 1
fi
# XWayland puts its socket there and mutter refuses a folder not writable by all.
if [ ! -d /tmp/.X11-unix ]; then
    mkdir -m 1777 /tmp/.X11-unix
elif [ "$(stat -c %a /tmp/.X11-unix)" != 1777 ] && [ -O /tmp/.X11-unix ]; then
    chmod 1777 /tmp/.X11-unix
fi

scratch=$(mktemp -d)
cleanup() {
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM
mkdir -m 700 "$scratch/home" "$scratch/runtime"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK XAUTHORITY

# Inside the private bus: start the compositor, wait until it names its X display, run the
# command, stop the compositor by its PID.
dbus-run-session -- bash -c '
    set -euo pipefail
    : >"$0/mutter.log" # there before the loop below reads it, however late mutter starts
    mutter --headless --wayland --wayland-display=mttest --virtual-monitor 1280x800 \
        >"$0/mutter.log" 2>&1 &
    mutter=$!
    trap "kill $mutter 2>/dev/null || true; wait $mutter 2>/dev/null || true" EXIT
    display=""
    for _ in $(seq 1 150); do
        display=$(sed -n "s/.*Using public X11 display \(:[0-9]*\),.*/\1/p" "$0/mutter.log")
        [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/mttest" ] && break
        kill -0 "$mutter" 2>/dev/null || break
        sleep 0.1
    done
    authority=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1 || true)
    if [ -z "$display" ] || [ -z "$authority" ] || [ ! -S "$XDG_RUNTIME_DIR/mttest" ]; then
        echo "with-mutter.sh: mutter did not start" >&2
        cat "$0/mutter.log" >&2 || true
        exit 1
    fi
    export WAYLAND_DISPLAY=mttest DISPLAY="$display" XAUTHORITY="$authority"
    "$@"
' "$scratch" "$@"
