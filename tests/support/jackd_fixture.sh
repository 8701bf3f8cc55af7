#!/usr/bin/env bash
# Starts or stops the JACK server (dummy backend) that the JACK tests use.
#   jackd_fixture.sh start RUNTIME_DIR WAIT_READY_PROGRAM
#   jackd_fixture.sh stop RUNTIME_DIR
# The server is named by JACK_DEFAULT_SERVER, so it never meets a user's own.
set -u
action=$1
runtime=$2
mkdir -p "$runtime" && chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
server="${JACK_DEFAULT_SERVER:-corvanetest}"
pidfile="$runtime/jackd.pid"

stop_server() {
    if [ -f "$pidfile" ]; then
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
        rm -f "$pidfile"
    fi
}

case "$action" in
start)
    stop_server
    setsid jackd -n "$server" -d dummy -r 48000 -p 256 </dev/null >"$runtime/jackd.log" 2>&1 &
    echo $! >"$pidfile"
    if ! "$3" 10; then
        echo "JACK server did not start:"
        cat "$runtime/jackd.log"
        stop_server
        exit 1
    fi
    echo "JACK server '$server' running (dummy backend, 48000 Hz, 256 frames)"
    ;;
stop)
    stop_server
    ;;
esac
