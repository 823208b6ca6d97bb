# Sourced by the screenshot scripts: what they share before they start the program.
#   - `cleanup`: commands run in reverse order when the script exits;
#   - a virtual display of the script's own (without a DISPLAY, or with SETUP_OWN_DISPLAY=1);
#   - a throwaway machine prefix unless SETUP_IVOX_PREFIX names one.
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
        echo "screen-session.sh: virtual display did not answer (attempt $attempt)" >&2
    done
    return 1
}

cleanup=()
on_exit() { for ((i=${#cleanup[@]}-1; i>=0; i--)); do eval "${cleanup[i]}" || true; done; }
trap on_exit EXIT

if [ -z "${DISPLAY:-}" ] || [ "${SETUP_OWN_DISPLAY:-0}" = 1 ]; then
    start_own_display || exit 1
fi
if [ -z "${SETUP_IVOX_PREFIX:-}" ]; then
    SETUP_IVOX_PREFIX=$(mktemp -d)
    export SETUP_IVOX_PREFIX
    cleanup+=("rm -rf '$SETUP_IVOX_PREFIX'")
fi
