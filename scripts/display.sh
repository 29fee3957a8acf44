# Sourced: gives Wine an X display. Uses the caller's DISPLAY when it works,
# otherwise starts a private Xvfb for the duration of the script.
QEVZUN_XVFB_PID=""
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        QEVZUN_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    done
    echo "no X display could be started" >&2
    return 1
}
stop_display() {
    if [ -n "$QEVZUN_XVFB_PID" ]; then kill "$QEVZUN_XVFB_PID" 2>/dev/null || true; fi
}
