#!/usr/bin/env bash
# Runs a command as a PipeWire desktop runs programs: a private PipeWire
# daemon (no session bus needed) with a null sink as its driver, and the
# command under pw-jack, so Corvane's JACK driver talks to PipeWire.
#   under_pipewire.sh COMMAND [ARGUMENT...]
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
unset JACK_DEFAULT_SERVER PIPEWIRE_REMOTE
pipewire >"$runtime/pipewire.log" 2>&1 &
daemon=$!
trap 'kill $daemon 2>/dev/null; wait $daemon 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 50); do
    [ -S "$runtime/pipewire-0" ] && break
    sleep 0.1
done
pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=nullsink
    media.class=Audio/Sink object.linger=true audio.position=[FL FR] node.driver=true }' >/dev/null
PIPEWIRE_QUANTUM=${PIPEWIRE_QUANTUM:-1024/48000} pw-jack "$@"
