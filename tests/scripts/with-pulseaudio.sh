#!/usr/bin/env bash
# Runs a command against a private PulseAudio server: output "speakers" (the default sink),
# a second null sink "virtmic" whose monitor is remapped as the microphone source "vmic"
# (the default source). Tests play speech into "virtmic". The server's PID is exported as
# ORVANTA_TEST_PULSE_PID; it is stopped by PID on exit.
# Usage: with-pulseaudio.sh command [arguments...]
set -euo pipefail

start_server() {
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load="module-native-protocol-unix auth-anonymous=1" \
        --load="module-null-sink sink_name=speakers" \
        --load="module-null-sink sink_name=virtmic" \
        --load="module-remap-source master=virtmic.monitor source_name=vmic source_properties=device.description=VirtualMic" \
        >"$TMPDIR/pulseaudio.log" 2>&1 || { cat "$TMPDIR/pulseaudio.log" >&2; exit 1; }
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl set-default-sink speakers
    pactl set-default-source vmic
}

# Inside a run, after a test killed the server: the environment is the run's own; prints the
# new server's PID. The killed server's PID file goes first, as its process may linger unreaped.
if [ "${1:-}" = "--restart" ]; then
    rm -f "$XDG_RUNTIME_DIR/pulse/pid"
    start_server
    cat "$XDG_RUNTIME_DIR/pulse/pid"
    exit 0
fi

work=$(mktemp -d /tmp/orvanta-pulse.XXXXXX)
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"
mkdir -p "$HOME/.config/pulse" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE
# Clients must never start a server of their own once this one is gone.
echo "autospawn = no" >"$HOME/.config/pulse/client.conf"

pid=""
cleanup() {
    # The server that runs now, which a test may have restarted.
    pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null || echo "$pid")
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -CONT "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

start_server
pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
export ORVANTA_TEST_PULSE_PID="$pid"
# A test that has killed the server starts a new one, with the same devices, by running this.
export ORVANTA_TEST_PULSE_RESTART="$0 --restart"

status=0
"$@" || status=$?
exit "$status"
