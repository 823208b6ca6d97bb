#!/usr/bin/env bash
# Runs the install on the screen (setup_install_demo) and keeps two pictures: the setup window
# while the payload comes out, held there by the program until this script has its picture, and
# the box that reports the result. Both are checked (a plausible size, not blank, the parts that
# must be drawn), the box is answered with Return, and the program's exit code (the box's answer,
# 1 for OK), what it printed, and the installed files are checked. What the install put on the
# machine is removed at the end (COMMAND --remove).
#
#   tools/install-screenshots.sh --machine wine|prefix --progress-out FILE.png
#       --success-out FILE.png [--installed PATH[=EXPECTED]]... -- COMMAND [ARGS...]
#
# PATH is a file under drive C: with forward slashes; with =EXPECTED its bytes must be those of
# the host file EXPECTED. Drive C: is drive_c of the Wine prefix (--machine wine) or of the
# machine prefix (--machine prefix: SETUP_IVOX_PREFIX, or a throwaway one).
# Without a DISPLAY (or with SETUP_OWN_DISPLAY=1) it runs on a virtual display of its own.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
window_title="Setup Solvenza Quillora 10"
box_title="Solvenza"
machine=""
progress_out=""
success_out=""
installed=()
while [ $# -gt 0 ]; do
    case "$1" in
        --machine) machine=$2; shift 2 ;;
        --progress-out) progress_out=$2; shift 2 ;;
        --success-out) success_out=$2; shift 2 ;;
        --installed) installed+=("$2"); shift 2 ;;
        --) shift; break ;;
        *) echo "install-screenshots.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
case "$machine" in wine | prefix) ;; *) machine="" ;; esac
[ -n "$machine" ] && [ -n "$progress_out" ] && [ -n "$success_out" ] && [ $# -gt 0 ] || {
    echo "usage: install-screenshots.sh --machine wine|prefix --progress-out FILE --success-out FILE -- COMMAND..." >&2
    exit 2
}
mkdir -p "$(dirname "$progress_out")" "$(dirname "$success_out")"
convert=/usr/bin/convert; [ -x "$convert" ] || convert=convert

. "$here/screen-session.sh"

if [ "$machine" = wine ]; then
    # The prefix wine-run.sh takes when none is named.
    export WINEPREFIX="${WINEPREFIX:-${SETUP_WINE_DEFAULT_PREFIX:-$PWD/wineprefix}}"
    drive_c="$WINEPREFIX/drive_c"
else
    drive_c="$SETUP_IVOX_PREFIX/drive_c"
fi

# The folder where the program says it holds and where it is told to go on; the program gets its
# Windows name, which reaches the host folder through drive Z: on both targets.
pause=$(mktemp -d)
cleanup+=("rm -rf '$pause'")
output="$pause/output"
remove_output="$pause/removed"
remove=("$@" --remove)
removed=0
cleanup+=("[ \"\$removed\" = 1 ] || $(printf '%q ' "${remove[@]}") >/dev/null 2>&1")
setsid "$@" --pause "Z:${pause//\//\\}" >"$output" &
prog=$!
cleanup+=("kill -- -$prog 2>/dev/null")

fail=0
problem() { echo "install-screenshots.sh: $*" >&2; fail=1; }
show_output() { tr -d '\r' <"$output" >&2; }

for _ in $(seq 1 300); do
    [ -f "$pause/paused" ] && break
    kill -0 "$prog" 2>/dev/null || { echo "install-screenshots.sh: the program ended before the extraction was held" >&2; show_output; exit 1; }
    sleep 0.2
done
[ -f "$pause/paused" ] || { echo "install-screenshots.sh: the extraction was never held" >&2; show_output; exit 1; }
echo "The program holds the extraction: $(tr -d '\r' <"$pause/paused")"

find_window() {  # title: the visible window of that title, waiting for it while the program runs
    local win=""
    for _ in $(seq 1 150); do
        win=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        [ -n "$win" ] && break
        kill -0 "$prog" 2>/dev/null || break
        sleep 0.2
    done
    echo "$win"
}

capture() {  # window file: a picture of the window's client area; sets WIDTH and HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}

deviation() {  # file [crop]: the grey level's standard deviation, of the crop when given
    if [ -n "${2:-}" ]; then
        "$convert" "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
    else
        "$convert" "$1" -colorspace Gray -format '%[fx:standard_deviation]' info:
    fi
}
blank() { awk -v s="$1" 'BEGIN { exit !(s < 0.02) }'; }

# --- The window while the server tree comes out ----------------------------------------------
win=$(find_window "$window_title")
[ -n "$win" ] || { echo "install-screenshots.sh: no window titled '$window_title' appeared" >&2; show_output; exit 1; }
sleep 1  # the program keeps painting while it holds; give the server a moment to show it
capture "$win" "$progress_out"
echo "Screenshot of the window during the extraction: $progress_out (${WIDTH}x${HEIGHT})"
[ "$WIDTH" = 467 ] && [ "$HEIGHT" = 316 ] || problem "the client area is ${WIDTH}x${HEIGHT}, expected 467x316"
blank "$(deviation "$progress_out")" && problem "the picture of the window is blank"
# Regions (name x y width height) that must hold something drawn: the status line, the bar's
# frame, the header and the buttons.
for r in "lbl_ThongBao:32:179:100:13" "ProgressBar1:30:200:411:15" "Label1:32:14:275:35" \
         "bt_NangCap:270:276:61:15" "bt_Dong:366:276:61:15"; do
    IFS=: read -r name x y rw rh <<<"$r"
    blank "$(deviation "$progress_out" "${rw}x${rh}+${x}+${y}")" && problem "$name area ($x,$y ${rw}x${rh}) is blank"
done
# The folder field is hidden: the rows of its frame (the status line, however long, stays
# between them) show the window's background.
mean() { "$convert" "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info:; }
background=$(mean "$progress_out" "1x1+455+150")
for row in 176 196; do
    sd=$(deviation "$progress_out" "289x1+152+$row")
    m=$(mean "$progress_out" "289x1+152+$row")
    if ! blank "$sd" || awk -v a="$m" -v b="$background" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d >= 0.01) }'; then
        problem "the folder field's frame is drawn (row $row): the field is not hidden"
    fi
done
# The bar shows 3 of 100: its filled start differs from its empty end.
start=$(mean "$progress_out" "6x7+33+204")
end=$(mean "$progress_out" "6x7+430+204")
awk -v a="$start" -v b="$end" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d < 0.05) }' &&
    problem "the bar's start looks like its end (grey $start and $end): nothing filled"

touch "$pause/continue"

# --- The box that reports the result ----------------------------------------------------------
box=$(find_window "$box_title")
[ -n "$box" ] || { echo "install-screenshots.sh: no box titled '$box_title' appeared" >&2; show_output; exit 1; }
sleep 1.5  # let the box paint itself
capture "$box" "$success_out"
echo "Screenshot of the box: $success_out (${WIDTH}x${HEIGHT})"
if [ "$WIDTH" -lt 120 ] || [ "$HEIGHT" -lt 60 ] || [ "$WIDTH" -gt 700 ] || [ "$HEIGHT" -gt 400 ]; then
    problem "the box is ${WIDTH}x${HEIGHT}, expected between 120x60 and 700x400"
fi
blank "$(deviation "$success_out")" && problem "the picture of the box is blank"
blank "$(deviation "$success_out" "100%x40%+0+$((HEIGHT * 60 / 100))")" && problem "no button drawn in the box's lower part"

# No window manager runs on the virtual display: the box gets the input focus directly.
xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box" || true
sleep 0.3
xdotool key Return
for _ in $(seq 1 100); do kill -0 "$prog" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$prog" 2>/dev/null; then echo "install-screenshots.sh: Return did not end the program" >&2; show_output; exit 1; fi
rc=0; wait "$prog" || rc=$?
tr -d '\r' <"$output" >"$output.txt" && mv "$output.txt" "$output"
[ "$rc" = 1 ] || problem "the program ended with exit code $rc, expected 1 (OK)"
grep -q '^paused at Firebird-2\.1\.1\.1.*: bar 3 shown, folder field hidden,' "$output" ||
    problem "the window was not held with the bar at 3 and the folder field hidden"
[ "$(grep -c '^box shown:' "$output")" = 1 ] || problem "not exactly one box was shown"
grep -q '^box shown: caption "Solvenza", flags 0x40, text "Cài đặt hoàn tất !!!"$' "$output" ||
    problem "the box was not the success box (caption Solvenza, information icon, OK)"
[ "$fail" = 0 ] && echo "Return answered the box: exit code $rc."

for f in "${installed[@]}"; do
    path=${f%%=*}
    if [ ! -f "$drive_c/$path" ]; then
        problem "C:/$path was not installed"
    elif [ "$f" != "$path" ] && ! cmp -s "$drive_c/$path" "${f#*=}"; then
        problem "C:/$path is not the payload's entry ${f#*=}"
    fi
done
[ "$fail" = 0 ] && echo "Installed: ${#installed[@]} files checked in $drive_c."
if [ "$fail" != 0 ]; then
    echo "The program printed:" >&2; cat "$output" >&2
fi

removed=1
"${remove[@]}" >"$remove_output" 2>&1 || { problem "what the install put on the machine was not all removed:"; tr -d '\r' <"$remove_output" >&2; }
exit "$fail"
