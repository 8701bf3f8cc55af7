#!/usr/bin/env bash
# Runs corvane-soak on a private JACK server (dummy backend, 48 kHz) at the
# block size a live rig would use, then stops the server.
#   soak.sh BUILD_DIR [MINUTES (10)] [FRAMES (64)]
# Exit status is corvane-soak's: 0 no dropout of Corvane's own, 1 sound or
# data lost, 3 only blocks longer than their period, 2 nothing started.
set -u
build=$1
minutes=${2:-10}
frames=${3:-64}
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" JACK_DEFAULT_SERVER=corvanesoak QT_QPA_PLATFORM=offscreen
# The soak's own settings and recordings stay out of the user's.
export HOME="$runtime" XDG_CONFIG_HOME="$runtime/config"
setsid jackd -n corvanesoak -d dummy -r 48000 -p "$frames" </dev/null >"$runtime/jackd.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$runtime"' EXIT
if ! "$build/bin/jack_wait_ready" 10; then
    echo "JACK server did not start:"
    cat "$runtime/jackd.log"
    exit 2
fi
echo "JACK dummy server at 48000 Hz, $frames frames ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
"$build/bin/corvane-soak" "$minutes" JACK
