# Sourced by the screenshot scripts: starts a virtual display of the script's own and exports
# DISPLAY, adding its teardown to the caller's `cleanup` list.
#
# Xvfb picks a free display number itself. The display must answer before it is used, and on
# teardown the script waits until the server has gone: a server still shutting down removes its
# socket, which would break the next server that took the same number. The server never resets:
# by default it resets when its last client leaves, and a client that connects meanwhile (the
# program, right after the readiness probe left) is turned away.
start_own_display() {
    local attempt fifo num xvfb
    for attempt in 1 2 3; do
        fifo=$(mktemp -u); mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
        xvfb=$!
        num=$(timeout 20 head -n 1 "$fifo" || true)
        rm -f "$fifo"
        if [ -n "$num" ]; then
            for _ in $(seq 1 50); do
                if xdpyinfo -display ":$num" >/dev/null 2>&1; then
                    export DISPLAY=":$num"
                    cleanup+=("kill $xvfb; wait $xvfb 2>/dev/null")
                    return 0
                fi
                sleep 0.1
            done
        fi
        kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
        echo "own-display.sh: virtual display did not answer (attempt $attempt)" >&2
    done
    return 1
}
