#!/usr/bin/env bash
# Runs a command against a private headless sway compositor. sway refuses to run as root,
# so it runs as an unprivileged test user (created when missing, which needs root); the
# command runs as the caller with WAYLAND_DISPLAY and SWAYSOCK pointing at it. With
# ORVANTA_SWAY_XWAYLAND=1 sway also runs XWayland and DISPLAY names it; lines of
# $ORVANTA_SWAY_CONFIG are added to its configuration. The compositor is
# stopped by its PID when the command ends.
# Usage: tests/scripts/with-sway.sh COMMAND [ARG...]
set -euo pipefail

user=${ORVANTA_WAYLAND_TEST_USER:-orvanta-wltest}
if ! id "$user" >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "with-sway.sh: needs the user $user (or root to create it)" >&2
        exit 1
    fi
    useradd --system --create-home --shell /usr/sbin/nologin "$user"
fi

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

mkdir -m 700 "$scratch/home" "$scratch/runtime"
chown "$user" "$scratch/runtime"
cat >"$scratch/sway.conf" <<'CONF'
output HEADLESS-1 resolution 1280x800
default_border none
CONF
# Lines of $ORVANTA_SWAY_CONFIG, when set, are added to sway's configuration.
if [ -n "${ORVANTA_SWAY_CONFIG:-}" ]; then
    cat "$ORVANTA_SWAY_CONFIG" >>"$scratch/sway.conf"
fi
if [ "${ORVANTA_SWAY_XWAYLAND:-0}" = 1 ]; then
    echo "xwayland enable" >>"$scratch/sway.conf"
    # The X display sway starts is announced to its own children: one of them reports it.
    echo "exec sh -c 'xhost +si:localuser:$(id -un) && echo \$DISPLAY > $scratch/runtime/xwayland-display'" >>"$scratch/sway.conf"
else
    echo "xwayland disable" >>"$scratch/sway.conf"
fi
chmod 644 "$scratch/sway.conf"

runuser -u "$user" -- env -i PATH="$PATH" HOME="$scratch/runtime" \
    XDG_RUNTIME_DIR="$scratch/runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway -c "$scratch/sway.conf" >"$scratch/sway.log" 2>&1 &
sway_pid=$!

socket=""
ipc=""
for _ in $(seq 1 100); do
    socket=$(cd "$scratch/runtime" && ls wayland-[0-9] 2>/dev/null | head -n1 || true)
    ipc=$(ls "$scratch/runtime"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
    if [ -n "$socket" ] && [ -n "$ipc" ]; then
        break
    fi
    if ! kill -0 "$sway_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$socket" ] || [ -z "$ipc" ]; then
    echo "with-sway.sh: sway did not start" >&2
    cat "$scratch/sway.log" >&2 || true
    exit 1
fi

# An absolute WAYLAND_DISPLAY still names the compositor when a later wrapper or the
# application gives itself another runtime folder.
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
export WAYLAND_DISPLAY="$scratch/runtime/$socket"
export SWAYSOCK="$ipc"
unset DISPLAY
if [ "${ORVANTA_SWAY_XWAYLAND:-0}" = 1 ]; then
    for _ in $(seq 1 100); do
        [ -s "$scratch/runtime/xwayland-display" ] && break
        sleep 0.1
    done
    DISPLAY=$(cat "$scratch/runtime/xwayland-display" 2>/dev/null || true)
    if [ -z "$DISPLAY" ]; then
        echo "with-sway.sh: XWayland did not start" >&2
        exit 1
    fi
    export DISPLAY
fi
status=0
"$@" || status=$?
exit "$status"
