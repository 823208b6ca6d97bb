#!/usr/bin/env bash
# The setup program is one file: copied alone into an empty folder it installs through its
# window, and modules planted beside it are never loaded. It runs twice, on a machine of its own
# (a throwaway Wine prefix, or a throwaway machine prefix): first alone, then with the planted
# modules beside it (the installed files removed in between, so the second run must put them
# back). A planted module leaves "<its file>.loaded" when anything loads it. After each run no
# engine file of the program's may be left in the temporary folder.
#
#   tests/app/lone-install.sh --machine wine|prefix [--plant FILE=NAME]...
#       [--installed PATH[=EXPECTED]]... -- PROGRAM
#
# FILE is copied beside the program as NAME. PATH is a file under drive C: with forward slashes;
# with =EXPECTED its bytes must be those of the host file EXPECTED.
#
# Under Wine a library named like a system one is taken from the program's folder only where the
# load order says native first, which is what Windows does for every library outside its list of
# known ones; the script sets that for the planted names. Wine's own user32 loads version.dll and
# uxtheme.dll before the program's first instruction (on Windows user32 is a known library and
# does neither), so those two cannot be planted meaningfully here; psapi.dll, which the program
# loads by name while it stops the product's processes, can.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
tools="$here/../../tools"
window_title="Setup Solvenza Quillora 10"
box_title="Solvenza"
machine=""
plants=()
installed=()
while [ $# -gt 0 ]; do
    case "$1" in
        --machine) machine=$2; shift 2 ;;
        --plant) plants+=("$2"); shift 2 ;;
        --installed) installed+=("$2"); shift 2 ;;
        --) shift; break ;;
        *) echo "lone-install.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ "$machine" = wine ] || [ "$machine" = prefix ] || machine=""
[ -n "$machine" ] && [ $# = 1 ] || {
    echo "usage: lone-install.sh --machine wine|prefix [--plant FILE=NAME]... [--installed PATH[=EXPECTED]]... -- PROGRAM" >&2
    exit 2
}
program=$1

. "$tools/screen-session.sh"

work=$(mktemp -d)
cleanup+=("rm -rf '$work'")
if [ "$machine" = wine ]; then
    export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
    "$tools/wine-prefix.sh" "$WINEPREFIX"
    cleanup+=("WINEPREFIX='$WINEPREFIX' wineserver -k 2>/dev/null")
    overrides="mscoree,mshtml=;winemenubuilder.exe=d"
    for p in "${plants[@]}"; do
        name=${p#*=}
        case "$name" in DelZip179.dll) ;; *) overrides="$overrides;${name%.dll}=n,b" ;; esac
    done
    export WINEDLLOVERRIDES="$overrides"
    drive_c="$WINEPREFIX/drive_c"
    run=(wine)
else
    drive_c="$SETUP_IVOX_PREFIX/drive_c"
    run=()
fi
mkdir -p "$drive_c/Solvenza"  # the install puts files into the folder, it never makes it

fail=0
problem() { echo "lone-install.sh: $*" >&2; fail=1; }

# One run from a fresh folder holding the program and whatever is given: its exit code is 0,
# the installed files are the payload's, no planted module was loaded, no engine file is left.
install_once() {  # label [FILE=NAME]...
    local label=$1; shift
    local folder="$work/$label" prog win box rc=0 f path
    mkdir -p "$folder"
    cp "$program" "$folder/"
    for f in "$@"; do cp "${f%%=*}" "$folder/${f#*=}"; done
    echo "--- $label: $(ls "$folder" | tr '\n' ' ')"
    (cd "$folder" && exec setsid "${run[@]}" "./$(basename "$program")") >"$work/$label.out" 2>&1 &
    prog=$!
    win=""
    for _ in $(seq 1 150); do
        win=$(xdotool search --onlyvisible --name "^$window_title\$" 2>/dev/null | head -n 1 || true)
        [ -n "$win" ] && break
        kill -0 "$prog" 2>/dev/null || break
        sleep 0.2
    done
    if [ -z "$win" ]; then
        problem "$label: no window titled '$window_title' appeared"; cat "$work/$label.out" >&2
        kill -- -"$prog" 2>/dev/null || true
        return
    fi
    sleep 1.5  # let the window paint itself: the controls and the logo must be there
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/$label.png"
    "$tools/check-screenshot.sh" "$work/$label.png" || problem "$label: the window is not drawn whole"
    # The action button ("Thực hiện" at 256,271 size 89x25); every box it brings is answered
    # with Return until the program ends.
    xdotool mousemove --window "$win" 300 283 click 1
    for _ in $(seq 1 300); do
        kill -0 "$prog" 2>/dev/null || break
        box=$(xdotool search --onlyvisible --name "^$box_title\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$box" ]; then
            sleep 0.5
            xdotool windowfocus "$box" 2>/dev/null || true
            xdotool key Return
        fi
        sleep 0.2
    done
    if kill -0 "$prog" 2>/dev/null; then
        problem "$label: the program did not end"; kill -- -"$prog" 2>/dev/null || true
    fi
    wait "$prog" || rc=$?
    [ "$rc" = 0 ] || problem "$label: the program ended with exit code $rc"
    for f in "${installed[@]}"; do
        path=${f%%=*}
        if [ ! -f "$drive_c/$path" ]; then
            problem "$label: C:/$path was not installed"
        elif [ "$f" != "$path" ] && ! cmp -s "$drive_c/$path" "${f#*=}"; then
            problem "$label: C:/$path is not the payload's entry"
        fi
    done
    for f in "$folder"/*.loaded; do
        [ -e "$f" ] && problem "$label: $(basename "${f%.loaded}") beside the program was loaded"
    done
    left=$(find "$drive_c/users" -iname 'DZ_*.dll' 2>/dev/null)
    [ -z "$left" ] || problem "$label: engine files left in the temporary folder: $left"
    if [ "$fail" = 0 ]; then echo "$label: installed, nothing planted loaded, no engine file left."; fi
}

install_once alone
for f in "${installed[@]}"; do rm -f "$drive_c/${f%%=*}"; done
install_once planted "${plants[@]}"
if [ "$fail" != 0 ]; then
    for out in "$work"/*.out; do echo "--- $(basename "$out"):" >&2; tr -d '\r' <"$out" >&2; done
fi
exit "$fail"
