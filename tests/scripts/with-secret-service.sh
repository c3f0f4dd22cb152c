#!/usr/bin/env bash
# Runs a command against a private Secret Service: its own D-Bus session with gnome-keyring's
# secrets component, unlocked, in a temporary HOME. Everything started here stops on exit. The
# daemon's PID is exported as ORVANTA_TEST_KEYRING_PID.
set -euo pipefail

if [ "${1:-}" != "--inside-session" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/home" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime"
    unset DISPLAY DBUS_SESSION_BUS_ADDRESS
    # dbus-run-session stops its bus once the command returns.
    dbus-run-session -- "$0" --inside-session "$@"
    exit 0
fi
shift

printf 'test-password' | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >/dev/null 2>&1 &
keyring=$!
# Tests that take the Secret Service away find it here.
export ORVANTA_TEST_KEYRING_PID=$keyring
trap 'kill "$keyring" 2>/dev/null || true; wait "$keyring" 2>/dev/null || true' EXIT

has_secret_service() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q 'boolean true'
}
for _ in $(seq 1 300); do
    has_secret_service && break
    kill -0 "$keyring" 2>/dev/null || { echo "gnome-keyring-daemon did not start" >&2; exit 1; }
    sleep 0.1
done
has_secret_service || { echo "no Secret Service after 30 s" >&2; exit 1; }

"$@"
