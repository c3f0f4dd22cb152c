#!/usr/bin/env bash
# Runs a command against a private headless sway. sway refuses to run as root, so it runs as
# the unprivileged user wltest (created when missing), in a runtime folder of its own; the
# command keeps running as the caller, with WAYLAND_DISPLAY, SWAYSOCK and XDG_RUNTIME_DIR set
# to that sway. Lines of $ORVANTA_SWAY_CONFIG, when set, are added to sway's configuration.
# sway is stopped by its PID when the command ends.
# Usage: tests/scripts/with-headless-sway.sh COMMAND [ARG...]
set -euo pipefail

user=wltest
id "$user" >/dev/null 2>&1 || useradd -m "$user"

scratch=$(mktemp -d)
chmod 755 "$scratch"
sway_pid=""
cleanup() {
    if [ -n "$sway_pid" ]; then
        kill "$sway_pid" 2>/dev/null || true
        wait "$sway_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

runtime="$scratch/runtime"
mkdir -m 700 "$runtime" "$scratch/home"
chown "$user": "$runtime" "$scratch/home"
{
    echo "output HEADLESS-1 resolution 1280x800"
    if [ -n "${ORVANTA_SWAY_CONFIG:-}" ]; then cat "$ORVANTA_SWAY_CONFIG"; fi
} >"$scratch/config"
chmod 644 "$scratch/config"

setpriv --reuid="$user" --regid="$user" --init-groups \
    env -i PATH="$PATH" HOME="$scratch/home" XDG_RUNTIME_DIR="$runtime" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$scratch/config" >"$scratch/sway.log" 2>&1 &
sway_pid=$!

socket=""
for _ in $(seq 1 300); do
    socket=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
    [ -n "$socket" ] && [ -S "$runtime/wayland-1" ] && break
    kill -0 "$sway_pid" 2>/dev/null || { cat "$scratch/sway.log" >&2; exit 1; }
    sleep 0.1
done
if [ -z "$socket" ]; then
    echo "with-headless-sway.sh: sway did not start" >&2
    cat "$scratch/sway.log" >&2
    exit 1
fi
export XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$socket"
unset DISPLAY
"$@"
