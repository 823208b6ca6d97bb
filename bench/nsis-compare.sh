#!/usr/bin/env bash
# The silent install under Wine against what an administrator would pick instead: an NSIS
# installer (Debian's nsis, SetCompressor /SOLID zlib) of the same installed files, with the same
# registry values, shortcuts and launched server installers. Both are built from the realistic
# payload and run alternately in one Wine prefix; each run starts on a machine without the
# files, with Wine's services running, and is timed from start to end of `wine`.
# Then one more silent run with a log shows where Setup_iVOX spends its time.
#   bench/nsis-compare.sh PAYLOAD_FOLDER [runs]
#   SETUP_IVOX_EXE=other/Setup_iVOX.exe bench/nsis-compare.sh PAYLOAD_FOLDER [runs]
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
payload=$(realpath "$1")
runs=${2:-6}
build=$PWD/build/windows-bench
work=$build/nsis-compare

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    --toolchain "$PWD/cmake/toolchain-mingw-x86_64.cmake" -DSETUP_PAYLOAD_DIR="$payload" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Setup_iVOX >/dev/null
rm -rf "$work"
mkdir -p "$work/files"
# The program as it is handed out: without debug information. SETUP_IVOX_EXE names another
# build of it to time instead (an earlier version, say), built with the same payload.
x86_64-w64-mingw32-strip -o "$work/Setup_iVOX.exe" "${SETUP_IVOX_EXE:-$build/app/Setup_iVOX.exe}"

# The installed files, out of the same archives (the password is kept reversed in the program).
password=$(sed -n 's/.*kReversedArchivePassword\[\] = "\(.*\)";.*/\1/p' app/uUpd.cpp | rev)
unzip -q -P "$password" "$payload/cacfile.zip" ivoxcc.exe fb_gds32.dll voxTram.exe -d "$work/files"
mv "$work/files/fb_gds32.dll" "$work/files/gds32.dll"
unzip -q "$payload/firebird.zip" -d "$work/files"

cat >"$work/installer.nsi" <<'EOF'
Unicode true
SetCompressor /SOLID zlib
RequestExecutionLevel admin
Name "Solvenza Quillora"
OutFile "nsis.exe"
InstallDir "C:\Solvenza"
Section
    SetOutPath "$INSTDIR"
    File "files\ivoxcc.exe"
    File "files\voxTram.exe"
    SetOutPath "$SYSDIR"
    File "files\gds32.dll"
    SetOutPath "$INSTDIR"
    File /r "files\Firebird-2.1.1.1"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    SetRegView 32
    WriteRegStr HKLM "SoftWare\Solvenza Corp\ERP\Quillora" "AppPath" "$INSTDIR"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Solvenza Quillora" "DisplayName" "Solvenza Quillora"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Solvenza Quillora" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    CreateShortcut "$DESKTOP\Solvenza Quillora.lnk" "$INSTDIR\ivoxcc.exe"
    CreateDirectory "$SMPROGRAMS\Solvenza"
    CreateShortcut "$SMPROGRAMS\Solvenza\Solvenza Quillora.lnk" "$INSTDIR\ivoxcc.exe"
    SetOutPath "$INSTDIR\Firebird-2.1.1.1\bin"
    ExecShell "" "$INSTDIR\Firebird-2.1.1.1\bin\install_super.bat" "" SW_HIDE
    ExecShell "" "$INSTDIR\Firebird-2.1.1.1\system32\vccrt8_win32.msi" "" SW_HIDE
SectionEnd
Section "Uninstall"
SectionEnd
EOF
(cd "$work" && makensis -V1 installer.nsi)

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
tools/wine-prefix.sh "$WINEPREFIX" >/dev/null
drive=$WINEPREFIX/drive_c
# A machine without the product (no folder, no client library, no shortcuts) and a Wine with its
# services and desktop started and nothing else running: what a run finds on a PC (a first
# window program would otherwise wait for Wine to make the desktop). What the last run launched
# and did not wait for (the server's installers) is ended first, as it may still write there.
fresh() {
    wineserver -k 2>/dev/null || true
    wineserver -w
    rm -rf "$drive/Solvenza" "$drive/windows/syswow64/gds32.dll" "$drive/windows/system32/gds32.dll"
    find "$drive/users" -name 'Solvenza Quillora.lnk' -delete
    wineserver -p >/dev/null 2>&1
    wine rundll32.exe user32.dll,MessageBeep >/dev/null 2>&1
}
# Seconds of one run of the command on a fresh machine: the time `wine` takes to run it.
timed() {
    local start end
    fresh
    start=$(date +%s.%N)
    wine "$@" >/dev/null 2>&1 || echo "  ($(basename "$1") ended with $?)" >&2
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# What the preparation wrote (the prefix, the unpacked files, both installers) goes to the disk
# first: Setup_iVOX flushes its files, and each flush would otherwise wait for that write-back.
sync
echo "installers: Setup_iVOX.exe $(stat -c %s "$work/Setup_iVOX.exe") bytes," \
    "nsis.exe $(stat -c %s "$work/nsis.exe") bytes (SetCompressor /SOLID zlib)"
printf '  %-4s %14s %14s\n' run Setup_iVOX nsis
ours=(); theirs=()
for i in $(seq "$runs"); do
    ours+=("$(timed "$work/Setup_iVOX.exe" /SILENT '/DIR=C:\Solvenza')")
    theirs+=("$(timed "$work/nsis.exe" /S)")
    printf '  %-4d %12.3f s %12.3f s\n' "$i" "${ours[-1]}" "${theirs[-1]}"
done
a=$(median "${ours[@]}")
b=$(median "${theirs[@]}")
printf 'silent install under Wine, median of %d: Setup_iVOX %.3f s, NSIS zlib %.3f s, ratio %.2f\n' \
    "$runs" "$a" "$b" "$(echo "$a / $b" | bc -l)"

# Where the time goes: the steps of the log, each with the time until the next one.
fresh
wine "$work/Setup_iVOX.exe" /SILENT '/DIR=C:\Solvenza' '/LOG=C:\bench.log' >/dev/null 2>&1 || true
wineserver -k
echo "the slowest steps of one logged run (time until the next line):"
iconv -f UTF-8 -t UTF-8 -c "$drive/bench.log" | awk '
    { split($2, t, ":"); s = t[1] * 3600 + t[2] * 60 + t[3]; line = $0; sub(/^[^ ]+ [^ ]+ /, "", line)
      if (NR > 1) printf "%8.3f s  %s\n", s - last, prev; last = s; prev = line }' |
    sort -rn | head -8
