#!/usr/bin/env bash
# Lists the import tables of the Windows programs and fails on any library or function that
# Windows 7 SP1 does not have (tests/app/newer-than-windows7.txt): such a program would not even
# start there. Each file must have an import table naming kernel32.dll, so a listing that
# could not be read never passes.
#   tests/app/imports-windows7.sh OBJDUMP LIST FILE...
set -euo pipefail
objdump=$1 list=$2; shift 2
fail=0
for file in "$@"; do
    table=$("$objdump" -p "$file")
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table" | tr 'A-Z' 'a-z')
    functions=$(awk '/^[[:space:]]*DLL Name:/ {inside=1; next} inside && NF >= 2 && $1 ~ /^[0-9a-f]+$/ {print $NF}' <<<"$table")
    if ! grep -qx 'kernel32.dll' <<<"$dlls"; then
        echo "$file: no import table naming kernel32.dll"; fail=1; continue
    fi
    while read -r name; do
        case "$name" in ''|'#'*) continue ;; esac
        pattern=$(sed 's/\./\\./g; s/\*$/.*/' <<<"$name")
        if [[ "$name" == *.dll || "$name" == *-\* ]]; then
            found=$(grep -ix "$pattern" <<<"$dlls" || true)
        else
            found=$(grep -x "$pattern" <<<"$functions" || true)
        fi
        for f in $found; do echo "$(basename "$file") imports $f, which Windows 7 SP1 lacks"; fail=1; done
    done <"$list"
    echo "$(basename "$file"): $(wc -l <<<"$dlls") libraries, $(wc -l <<<"$functions") functions"
done
exit "$fail"
