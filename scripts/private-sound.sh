# shellcheck shell=bash
# A private PulseAudio sound server with one null sink, for running linkmend.exe where nobody
# listens: what the program plays can be recorded from the sink's monitor. Sourced by
# scripts/run.sh and the music test; stops only what it started.

# Starts the server with its files in a new directory; exports PULSE_SERVER and sets
# LINKMEND_PULSE_PID and LINKMEND_PULSE_DIR. Fails when the server does not answer in 10 s.
linkmend_start_pulse() {
    LINKMEND_PULSE_DIR=$(mktemp -d /tmp/linkmend-pulse.XXXXXX)
    chmod 700 "$LINKMEND_PULSE_DIR"
    XDG_RUNTIME_DIR=$LINKMEND_PULSE_DIR HOME=$LINKMEND_PULSE_DIR pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$LINKMEND_PULSE_DIR/native" \
        -L "module-null-sink sink_name=nullsink rate=48000 format=s16le channels=2" \
        >"$LINKMEND_PULSE_DIR/server.log" 2>&1 &
    LINKMEND_PULSE_PID=$!
    export PULSE_SERVER=unix:$LINKMEND_PULSE_DIR/native
    for _ in $(seq 1 200); do
        pactl info >/dev/null 2>&1 && return 0
        kill -0 "$LINKMEND_PULSE_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "the private sound server did not start" >&2
    return 1
}

# Records the null sink as raw 48 kHz 16-bit stereo into FILE; sets LINKMEND_PAREC_PID.
linkmend_record_pulse() {
    parec -d nullsink.monitor --rate=48000 --format=s16le --channels=2 --raw >"$1" 2>/dev/null &
    LINKMEND_PAREC_PID=$!
}

# Stops the recorder (when one runs) and the server, and removes the server's directory.
linkmend_stop_pulse() {
    if [ -n "${LINKMEND_PAREC_PID:-}" ]; then
        kill "$LINKMEND_PAREC_PID" 2>/dev/null; wait "$LINKMEND_PAREC_PID" 2>/dev/null
        LINKMEND_PAREC_PID=
    fi
    if [ -n "${LINKMEND_PULSE_PID:-}" ]; then
        kill "$LINKMEND_PULSE_PID" 2>/dev/null; wait "$LINKMEND_PULSE_PID" 2>/dev/null
        LINKMEND_PULSE_PID=
    fi
    [ -n "${LINKMEND_PULSE_DIR:-}" ] && rm -rf "$LINKMEND_PULSE_DIR"
    unset PULSE_SERVER
}
