#!/usr/bin/env bash
# Makes a fresh Wine prefix for one test run:  tools/wine-prefix.sh <folder>
# Anything in the folder is removed first. Wine's own Tahoma has no Vietnamese letters, so the
# prefix maps the window font to DejaVu Sans, which has them.
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
wine wineboot -i >/dev/null 2>&1
wineserver -w
# Wine links the profile's Desktop, Documents, Templates (deeper down, under AppData) and the
# like to the host user's folders; a test prefix keeps its own, so tests never write into the
# real home folder. Every link anywhere in the profiles becomes a folder of its own.
find "$prefix/drive_c/users" -type l -print0 | while IFS= read -r -d '' link; do
    rm -f "$link" && mkdir -p "$link"
done
if [ -n "$(find "$prefix/drive_c/users" -type l -print -quit)" ]; then
    echo "$0: a profile folder of $prefix is still a link" >&2
    exit 1
fi
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Shell Dlg' /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1
wineserver -w
