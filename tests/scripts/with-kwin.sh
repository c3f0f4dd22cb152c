#!/usr/bin/env bash
# Runs a command against a private virtual KWin compositor (kwin_wayland --virtual) on a
# private session bus. The packaged kwin_wayland carries a file capability that containers
# refuse to execute, so a plain copy of it runs instead. Restricted protocols (fake input)
# are offered to every client, as KWin does for applications whose desktop entry asks.
# Usage: tests/scripts/with-kwin.sh COMMAND [ARG...]
set -euo pipefail

scratch=$(mktemp -d)
cleanup() {
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM
mkdir -m 700 "$scratch/home" "$scratch/runtime" "$scratch/bin"
cp "$(command -v kwin_wayland)" "$scratch/bin/kwin_wayland"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK

# Inside the private bus: start the compositor, wait for its socket, run the command, stop
# the compositor by its PID.
dbus-run-session -- bash -c '
    set -euo pipefail
    QT_QPA_PLATFORM=offscreen "$0/bin/kwin_wayland" --virtual --socket kwtest \
        --width 1280 --height 800 >"$0/kwin.log" 2>&1 &
    kwin=$!
    trap "kill $kwin 2>/dev/null || true; wait $kwin 2>/dev/null || true" EXIT
    for _ in $(seq 1 100); do
        [ -S "$XDG_RUNTIME_DIR/kwtest" ] && break
        kill -0 "$kwin" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -S "$XDG_RUNTIME_DIR/kwtest" ]; then
        echo "with-kwin.sh: kwin_wayland did not start" >&2
        cat "$0/kwin.log" >&2 || true
        exit 1
    fi
    export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/kwtest"
    "$@"
' "$scratch" "$@"
