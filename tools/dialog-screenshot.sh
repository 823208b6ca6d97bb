#!/usr/bin/env bash
# Starts a program that shows one dialog box, waits for the dialog, types TEXT into it (when
# given), saves a picture of its client area, checks the picture (not blank, a plausible size),
# then answers the dialog with a key and checks the program's exit code and what it printed.
#
#   tools/dialog-screenshot.sh --title TITLE [--type TEXT] --key KEY --expect-exit N
#       [--expect-output REGEX] [--reject-output REGEX] [--min WxH] [--max WxH]
#       --out FILE.png -- COMMAND [ARGS...]
#
# Without a DISPLAY (or with SETUP_OWN_DISPLAY=1) it runs on a virtual display of its own.
set -euo pipefail

title=""
key=""
expect=""
out=""
text=""
expect_out=""
reject_out=""
min="120x60"
max="700x400"
while [ $# -gt 0 ]; do
    case "$1" in
        --title) title=$2; shift 2 ;;
        --key) key=$2; shift 2 ;;
        --expect-exit) expect=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --type) text=$2; shift 2 ;;
        --expect-output) expect_out=$2; shift 2 ;;
        --reject-output) reject_out=$2; shift 2 ;;
        --min) min=$2; shift 2 ;;
        --max) max=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "dialog-screenshot.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -n "$title" ] && [ -n "$key" ] && [ -n "$expect" ] && [ -n "$out" ] && [ $# -gt 0 ] ||
    { echo "usage: dialog-screenshot.sh --title T --key K --expect-exit N --out FILE -- COMMAND..." >&2; exit 2; }
mkdir -p "$(dirname "$out")"
convert=/usr/bin/convert; [ -x "$convert" ] || convert=convert

. "$(dirname "$(realpath "$0")")/screen-session.sh"

output=$(mktemp)
cleanup+=("rm -f '$output'")
setsid "$@" >"$output" &
prog=$!
cleanup+=("kill -- -$prog 2>/dev/null")

win=""
for _ in $(seq 1 150); do
    win=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    kill -0 "$prog" 2>/dev/null || { echo "dialog-screenshot.sh: the program ended before its dialog appeared" >&2; exit 1; }
    sleep 0.2
done
[ -n "$win" ] || { echo "dialog-screenshot.sh: no window titled '$title' appeared" >&2; exit 1; }
sleep 1.5  # let the dialog paint itself

# No window manager runs on the virtual display: give the dialog the input focus directly.
focus() { xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true; sleep 0.3; }
if [ -n "$text" ]; then
    focus
    xdotool type --delay 50 "$text"
    sleep 0.5
fi

eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "Screenshot of the dialog: $out (${WIDTH}x${HEIGHT})"

fail=0
IFS=x read -r minw minh <<<"$min"
IFS=x read -r maxw maxh <<<"$max"
if [ "$WIDTH" -lt "$minw" ] || [ "$HEIGHT" -lt "$minh" ] || [ "$WIDTH" -gt "$maxw" ] || [ "$HEIGHT" -gt "$maxh" ]; then
    echo "dialog-screenshot.sh: the dialog is ${WIDTH}x${HEIGHT}, expected between $min and $max" >&2
    fail=1
fi
sd=$("$convert" "$out" -colorspace Gray -format '%[fx:standard_deviation]' info:)
if awk -v s="$sd" 'BEGIN { exit !(s < 0.02) }'; then
    echo "dialog-screenshot.sh: the picture is blank" >&2
    fail=1
fi
# The button row is in the lower part: something must be drawn there.
sd=$("$convert" "$out" -crop "100%x40%+0+$((HEIGHT * 60 / 100))" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:)
if awk -v s="$sd" 'BEGIN { exit !(s < 0.02) }'; then
    echo "dialog-screenshot.sh: no buttons drawn in the lower part" >&2
    fail=1
fi

focus
xdotool key "$key"
for _ in $(seq 1 50); do kill -0 "$prog" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$prog" 2>/dev/null; then echo "dialog-screenshot.sh: $key did not close the dialog" >&2; exit 1; fi
rc=0; wait "$prog" || rc=$?
if [ "$rc" != "$expect" ]; then
    echo "dialog-screenshot.sh: the program ended with exit code $rc, expected $expect" >&2
    exit 1
fi
echo "$key answered the dialog: exit code $rc."
tr -d '\r' <"$output" >"$output.txt" && mv "$output.txt" "$output"
if [ -n "$expect_out" ] && ! grep -Eq -- "$expect_out" "$output"; then
    echo "dialog-screenshot.sh: the program did not print /$expect_out/; it printed:" >&2; cat "$output" >&2
    exit 1
fi
if [ -n "$reject_out" ] && grep -Eq -- "$reject_out" "$output"; then
    echo "dialog-screenshot.sh: the program printed /$reject_out/:" >&2; cat "$output" >&2
    exit 1
fi
exit "$fail"
