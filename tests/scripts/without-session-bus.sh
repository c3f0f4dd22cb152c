#!/usr/bin/env bash
# Runs a command where no D-Bus session bus, and so no Secret Service, can be found.
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime"
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
"$@"
