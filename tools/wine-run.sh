#!/usr/bin/env bash
# Runs a Windows program under Wine in the test run's prefix (CTest's emulator for the Windows
# build). WINEPREFIX names the prefix; without one, a prefix beside this build is made once.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="${SETUP_WINE_DEFAULT_PREFIX:-$PWD/wineprefix}"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (flock 9; [ -f "$WINEPREFIX/system.reg" ] || "$here/wine-prefix.sh" "$WINEPREFIX") 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
