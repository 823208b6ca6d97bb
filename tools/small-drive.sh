#!/usr/bin/env bash
# Runs a command with drive LETTER of the Wine prefix on a file system of SIZE (a tmpfs), for
# the tests of a full disk; the drive goes again afterwards.
#   tools/small-drive.sh LETTER SIZE -- COMMAND...
# Without the rights to mount, the command runs without the drive (its tests skip themselves),
# unless CI is "true": there a full-disk test that cannot run is a failure.
set -uo pipefail
letter=$(tr 'A-Z' 'a-z' <<<"$1"); size=$2; shift 3
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
folder="$WINEPREFIX/small-drive-$letter"
mkdir -p "$folder"
if mount -t tmpfs -o "size=$size" tmpfs "$folder" 2>/dev/null; then
    ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:"
    "$@"; rc=$?
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    umount "$folder"
elif [ "${CI:-}" = true ]; then
    echo "small-drive.sh: mounting is not allowed here, so drive $letter: cannot be made" >&2
    rc=1
else
    echo "small-drive.sh: mounting is not allowed here; the command runs without drive $letter:" >&2
    "$@"; rc=$?
fi
rmdir "$folder" 2>/dev/null
exit $rc
