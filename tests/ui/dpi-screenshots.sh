#!/usr/bin/env bash
# The setup window at every dpi of the table, under Wine on a virtual display: the prefix's
# LogPixels is set to each value in turn, setup_dpi_probe shows the real window and checks its
# geometry, and a picture of its client area is saved as DIR/setup-window-<dpi>dpi.png. The
# prefix gets its dpi back at the end.
#
#   tests/ui/dpi-screenshots.sh --out-dir DIR -- tools/wine-run.sh setup_dpi_probe.exe
set -euo pipefail
here=$(dirname "$(realpath "$0")")
title="Setup Solvenza Quillora 10"
out_dir=""
while [ $# -gt 0 ]; do
    case "$1" in
        --out-dir) out_dir=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "dpi-screenshots.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -n "$out_dir" ] && [ $# -gt 0 ] || { echo "usage: dpi-screenshots.sh --out-dir DIR -- COMMAND..." >&2; exit 2; }
mkdir -p "$out_dir"
: "${WINEPREFIX:?the Wine prefix of the test run}"
export WINEDEBUG=-all

. "$here/../../tools/screen-session.sh"

# A Wine server left from a test without a display would give the window no screen to be on:
# this test's programs start one of their own, on its virtual display.
timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true

# Wine reads the dpi from either key, when a process starts.
keys=('HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts')
set_dpi() {
    local key
    for key in "${keys[@]}"; do
        wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    done
}
cleanup+=("set_dpi 96")

work=$(mktemp -d)
cleanup+=("rm -rf '$work'")
fail=0
for dpi in 96 120 144 192; do
    set_dpi "$dpi"
    hold="$work/hold-$dpi"
    log="$work/probe-$dpi.txt"
    setsid "$@" "$dpi" "Z:${hold//\//\\}" >"$log" 2>&1 &
    prog=$!
    cleanup+=("kill -- -$prog 2>/dev/null")
    win=""
    for _ in $(seq 1 150); do
        grep -q '^ready ' "$log" && win=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
        [ -n "$win" ] && break
        kill -0 "$prog" 2>/dev/null || break
        sleep 0.2
    done
    if [ -z "$win" ]; then
        echo "$dpi dpi: no window appeared"; cat "$log"; fail=1
        touch "$hold"; wait "$prog" 2>/dev/null || true
        continue
    fi
    sleep 1  # let the window paint itself
    eval "$(xdotool getwindowgeometry --shell "$win")"
    png="$out_dir/setup-window-${dpi}dpi.png"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$png"
    touch "$hold"
    rc=0; wait "$prog" || rc=$?
    cat "$log"
    echo "$dpi dpi: $png (${WIDTH}x${HEIGHT}), probe exit code $rc"
    [ "$rc" = 0 ] || fail=1
done
exit "$fail"
