#!/usr/bin/env bash
# Starts the setup program, waits for its window, saves a picture of the window's client area
# and, with --check, checks the picture and that the close button ends the program with exit
# code 0.
#
#   tools/screenshot.sh [--check] [--keep-open] --out FILE.png -- COMMAND [ARGS...]
#
# Without a DISPLAY (or with SETUP_OWN_DISPLAY=1) it runs on a virtual display of its own.
# On POSIX hosts the program runs in a throwaway machine prefix unless SETUP_IVOX_PREFIX is set.
set -euo pipefail

title="Setup Solvenza Quillora 10"
here=$(dirname "$(realpath "$0")")
check=0
keep=0
out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --check) check=1; shift ;;
        --keep-open) keep=1; shift ;;
        --out) out=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "screenshot.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -n "$out" ] && [ $# -gt 0 ] || { echo "usage: screenshot.sh [--check] --out FILE -- COMMAND..." >&2; exit 2; }
mkdir -p "$(dirname "$out")"

. "$(dirname "$(realpath "$0")")/screen-session.sh"

setsid "$@" &
prog=$!
cleanup+=("kill -- -$prog 2>/dev/null")

win=""
for _ in $(seq 1 150); do
    win=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    kill -0 "$prog" 2>/dev/null || { echo "screenshot.sh: the program ended before its window appeared" >&2; exit 1; }
    sleep 0.2
done
[ -n "$win" ] || { echo "screenshot.sh: no window titled '$title' appeared" >&2; exit 1; }
sleep 1.5  # let the window paint itself

# The client area: the X window itself, or its client part where the program draws its own
# frame (xwininfo tells both through the window's geometry).
eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "Screenshot of the setup window: $out (${WIDTH}x${HEIGHT})"

if [ "$check" = 1 ]; then
    "$here/check-screenshot.sh" "$out"
    # The close button ("Đóng" at 352,271 size 89x25) ends the program with exit code 0.
    xdotool mousemove --window "$win" 396 283 click 1
    for _ in $(seq 1 50); do kill -0 "$prog" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$prog" 2>/dev/null; then echo "screenshot.sh: the close button did not end the program" >&2; exit 1; fi
    rc=0; wait "$prog" || rc=$?
    [ "$rc" = 0 ] || { echo "screenshot.sh: the program ended with exit code $rc" >&2; exit 1; }
    echo "The close button ended the program with exit code 0."
elif [ "$keep" = 1 ]; then
    echo "The window stays open; press Ctrl+C to end."
    wait "$prog" || true
fi
