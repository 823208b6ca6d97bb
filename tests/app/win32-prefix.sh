#!/usr/bin/env bash
# The 32-bit build's install tests on a 32-bit Windows: a fresh WINEARCH=win32 prefix of its
# own, which has no 32-bit registry view and no SysWOW64 (gds32.dll goes to System32).
#   tests/app/win32-prefix.sh PREFIX -- PROGRAM [ARGS...]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
prefix=$(realpath -m "$1"); shift
[ "${1:-}" = -- ] && shift
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true' EXIT
"$here/../../tools/wine-prefix.sh" "$prefix"
if [ -d "$prefix/drive_c/windows/syswow64" ] || ! grep -q '^#arch=win32' "$prefix/system.reg"; then
    echo "win32-prefix.sh: $prefix is not a 32-bit Windows" >&2
    exit 1
fi
"$here/../../tools/wine-run.sh" "$@"
