#!/usr/bin/env bash
# The administrator's command line, each case a real process of the built program with its exit
# code: bad command lines (nothing touched), a silent first install into a folder given by /DIR,
# a silent upgrade with the log in its default place, an install and an uninstall while the
# product runs, a damaged payload, and the uninstall started from the string of the system's
# list of installed programs. Every run logs; the logs must hold the steps. The first install runs
# the program from a folder whose name the ANSI code page cannot hold; the upgrade runs with the
# winget manifest's switches (on Windows from a batch file, as a deployment tool writes the line),
# and the manifest's codes are the ones the program's usage lists and its runs return.
#
#   command-line-runs.sh --machine wine|prefix --program EXE --idle EXE --payload CACFILE.ZIP
#                        --version X.Y.Z --manifest packaging/winget/Solvenza.Quillora.installer.yaml
#
# prefix: a throwaway machine prefix, no display. wine: the Wine prefix WINEPREFIX names, no
# display either, so a window the program tried to open would fail it.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
while [ $# -gt 0 ]; do
    case "$1" in
        --machine) machine=$2; shift 2 ;;
        --program) program=$(realpath "$2"); shift 2 ;;
        --idle) idle=$(realpath "$2"); shift 2 ;;
        --payload) payload=$(realpath "$2"); shift 2 ;;
        --version) version=$2; shift 2 ;;
        --manifest) manifest=$(realpath "$2"); shift 2 ;;
        *) echo "command-line-runs.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
cleanup=("rm -rf '$work'")
trap 'for ((i=${#cleanup[@]}-1; i>=0; i--)); do eval "${cleanup[i]}" 2>/dev/null || true; done' EXIT

app='C:\Apps\Solvenza Q'
product_key='SoftWare\Solvenza Corp\ERP\Quillora'
entry_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Solvenza Quillora'
if [ "$machine" = wine ]; then
    # The prefix the other Windows tests use (tools/wine-run.sh makes it when missing).
    export WINEPREFIX="${WINEPREFIX:-${SETUP_WINE_DEFAULT_PREFIX:-$PWD/wineprefix}}"
    wine() { "$here/../../tools/wine-run.sh" "$@"; }
    drive_c="$WINEPREFIX/drive_c"
    run_windows() { wine "$@"; }
    # The product is 32-bit: its keys are in the registry view of 32-bit programs.
    view='Software\Wow6432Node'
    export_key() {
        rm -f "$2"
        wine regedit /E "Z:${2//\//\\}" "HKEY_LOCAL_MACHINE\\$1" >/dev/null 2>&1 || true
        if [ -f "$2" ]; then iconv -f UTF-16LE -t UTF-8 "$2" | tr -d '\r' >"$2.txt"; fi
        mv "$2.txt" "$2" 2>/dev/null || : >"$2"
    }
    # Wine plays Windows 10 for the program: with the manifest's supportedOS entries it must
    # hear 10.0, not the 6.2 of a program that names no newer Windows.
    appdefaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")"
    wine reg add "$appdefaults" /v Version /d win10 /f >/dev/null 2>&1
    cleanup+=("wine reg delete '$appdefaults' /f >/dev/null 2>&1")
    system_line='Hệ điều hành: Windows 10\.0\.[0-9]+ \((32|64)-bit\)$'
    cleanup+=("wine reg delete 'HKLM\\$view\\${product_key#SoftWare\\}' /f >/dev/null 2>&1"
              "wine reg delete 'HKLM\\$view\\${entry_key#Software\\}' /f >/dev/null 2>&1")
else
    export SETUP_IVOX_PREFIX="$work/prefix"
    drive_c="$SETUP_IVOX_PREFIX/drive_c"
    mkdir -p "$drive_c"
    run_windows() { local exe=$1; shift; "$(host "$exe")" "$@"; }
    view='Software'
    export_key() { cp "$SETUP_IVOX_PREFIX/registry.reg" "$2" 2>/dev/null || : >"$2"; }
    system_line="Hệ điều hành: $(uname -s) "
fi
host() { local p=${1#[Cc]:}; p=${p//\\//}; echo "$drive_c$p"; }
cleanup+=("rmdir '$(host 'C:\Apps')'")
cleanup+=("rm -rf '$(host "$app")' '$(host 'C:\Apps\Damaged')'")
# What the runs leave in the temporary folder: the product archive's copies, the default log,
# and (Windows) the moved uninstaller, which Windows would delete at its next start.
touch "$work/start"
cleanup+=("find '$drive_c/users' -path '*Temp*' -type f -newer '$work/start' -delete")
cleanup+=("cd '$drive_c' && rm -f 'first install.log' unmakeable.log running.log refused.log damaged.log usage.log upgrade.log")
cleanup+=("rm -rf '$drive_c/Cài đặt'")

fail=0
problem() { echo "FAIL: $*" >&2; fail=1; }
# run NAME EXPECTED-CODE ARGS...: the program with ARGS; its output in $work/NAME.out/.err.
run() {
    local name=$1 expected=$2; shift 2
    local rc=0
    if [ "$machine" = wine ]; then wine "$program" "$@"; else "$program" "$@"; fi \
        >"$work/$name.out" 2>"$work/$name.err" || rc=$?
    tr -d '\r' <"$work/$name.err" >"$work/$name.e" && mv "$work/$name.e" "$work/$name.err"
    [ "$rc" = "$expected" ] || { problem "$name: exit code $rc, expected $expected"; cat "$work/$name.err" >&2; }
    returned+=("$rc")
    echo "$name: exit code $rc"
}
# value KEY NAME: the registry value (strings unescaped, numbers as dword:N); fails when absent.
value() {
    export_key "$1" "$work/export.reg"
    python3 - "$work/export.reg" "HKEY_LOCAL_MACHINE\\$1" "$2" <<'EOF'
import re, sys
text, key, name = open(sys.argv[1], encoding="utf-8", errors="replace").read(), sys.argv[2].lower(), sys.argv[3]
section = None
for line in text.splitlines():
    if line.startswith("["):
        section = line.strip()[1:-1].lower()
    elif section == key:
        m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
        if m and m.group(1).lower() == name.lower():
            v = m.group(2)
            print(re.sub(r'\\(.)', r'\1', v[1:-1]) if v.startswith('"') else v)
            sys.exit(0)
sys.exit(1)
EOF
}
expect_value() {  # KEY NAME EXPECTED
    local got; got=$(value "$1" "$2") || got="(none)"
    [ "$got" = "$3" ] || problem "$1\\$2 is '$got', expected '$3'"
}
expect_no_key() {
    export_key "$1" "$work/export.reg"
    grep -qiF "[HKEY_LOCAL_MACHINE\\$1]" "$work/export.reg" && problem "key $1 is still there"
}
expect_log() {  # LOGFILE PATTERN...: every pattern (a grep -E expression) matches a line
    local log=$1; shift
    [ -f "$log" ] || { problem "no log $log"; return; }
    local p
    for p in "$@"; do
        grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} $p" "$log" ||
            problem "$(basename "$log") has no line matching: $p"
    done
}
# The shortcuts the log says were made (Windows paths, one a line).
shortcuts() { sed -nE 's/^.{24}Tạo lối tắt (.*) tới .*/\1/p' "$1" | tr -d '\r'; }
nothing_installed() {
    [ ! -e "$(host "$app")" ] || problem "$1: the application folder was made"
    value "$view\\${product_key#SoftWare\\}" AppPath >/dev/null && problem "$1: the product key was written"
}
re() { sed 's/[][\.^$*+?(){}|]/\\&/g' <<<"$1"; }
# winget FIELD: a value of the installer manifest (dots go into maps and lists); Codes: every
# ExpectedReturnCodes code, one a line.
# Debian's python3 has the YAML module that tools/deps.sh installs, whatever python3 comes first.
python=python3; [ -x /usr/bin/python3 ] && python=/usr/bin/python3
winget() {
    "$python" -c 'import sys, yaml
v = yaml.safe_load(open(sys.argv[1], encoding="utf-8"))
if sys.argv[2] == "Codes": v = "\n".join(str(c["InstallerReturnCode"]) for c in v["ExpectedReturnCodes"])
else:
    for p in sys.argv[2].split("."): v = v[int(p)] if isinstance(v, list) else v[p]
print(v)' "$manifest" "$1"
}
# The codes the runs returned, each to be one the manifest expects.
returned=()

# --- Command lines that are refused: nothing is touched -------------------------------------
run unknown-switch 1 /SILENT /BOGUS
grep -q "Tham số không rõ: /BOGUS" "$work/unknown-switch.err" || problem "unknown switch: no reason given"
grep -q "Mã thoát:" "$work/unknown-switch.err" || problem "unknown switch: no usage given"
run missing-value 1 -silent /DIR
# A log that cannot be written does not stop the run: it goes on to its own end.
run impossible-folder 2 /silent '/LOG=C:\No such folder\x.log' '/DIR=Apps\Relative'
grep -q "không dùng được" "$work/impossible-folder.err" || problem "impossible folder: no reason given"
grep -q "Không ghi được nhật ký" "$work/impossible-folder.err" || problem "an unwritable log is not reported"
# /SILENT with /?: no box anywhere, the usage on standard output and in the log.
run silent-usage 0 /SILENT /? '/LOG=C:\usage.log'
grep -q "^4: gói cài đặt bị hỏng$" "$work/silent-usage.out" || problem "/SILENT /? printed no exit-code table"
grep -q "/VERYSILENT" "$work/silent-usage.out" || problem "the usage does not name /VERYSILENT"
expect_log "$(host 'C:\usage.log')" "Setup_iVOX $(re "$version"), dòng lệnh: /SILENT /\?" \
    "/SUPPRESSMSGBOXES, /NORESTART, /SP-, /NOCANCEL: "
# The usage's exit codes, every one but success expected by the winget manifest, and no other.
usage_codes=$(sed -nE 's/^([1-9][0-9]*): .*/\1/p' "$work/silent-usage.out" | tr -d '\r' | sort | tr '\n' ' ')
manifest_codes=$(winget Codes | sort | tr '\n' ' ')
[ -n "$usage_codes" ] && [ "$usage_codes" = "$manifest_codes" ] ||
    problem "the manifest expects codes '$manifest_codes', the usage lists '$usage_codes'"
if [ "$machine" = prefix ]; then
    # Without /SILENT the usage goes to standard output (Windows shows it in a box).
    run usage 0 /?
    grep -q "^4: gói cài đặt bị hỏng$" "$work/usage.out" || problem "/? printed no exit-code table"
    run unknown-without-silent 1 -Bogus=1
    run folder-without-silent 2 '/DIR=Apps\Relative'
    grep -q "không dùng được" "$work/folder-without-silent.err" || problem "impossible folder: no reason shown"
fi
# A folder the install cannot make (a file stands where it would go): refused before anything is
# written, with the folder's exit code.
mkdir -p "$(host 'C:\Apps')" && echo taken >"$(host 'C:\Apps\taken')"
cleanup+=("rm -f '$(host 'C:\Apps\taken')'")
run unmakeable-folder 2 /SILENT '/DIR=C:\Apps\taken\Q' '/LOG=C:\unmakeable.log'
expect_log "$(host 'C:\unmakeable.log')" \
    "Hộp thông báo Solvenza: Không tạo được thư mục ứng dụng C:\\\\Apps\\\\taken\\\\Q\.$" \
    "Kết thúc, mã thoát 2: không dùng được thư mục ứng dụng$"
nothing_installed "refused command lines"

# --- A silent first install into the folder of /DIR ------------------------------------------
# Started from a folder of a USB stick that the ANSI code page cannot hold ("đ", "ặ").
mkdir -p "$drive_c/Cài đặt" && cp "$program" "$drive_c/Cài đặt/" && chmod +x "$drive_c/Cài đặt/$(basename "$program")"
program_ok=$program; program="$drive_c/Cài đặt/$(basename "$program")"
LC_ALL=C.UTF-8 run first-install 0 /Silent "/DIR=\"$app\\\\\"" '/LOG="C:\first install.log"'
program=$program_ok
log="$(host 'C:\first install.log')"
for f in ivoxcc.exe voxTram.exe Firebird-2.1.1.1/bin/install_super.bat; do
    [ -s "$(host "$app")/$f" ] || problem "first install: $f missing"
done
[ "$(find "$(host "$app")/Firebird-2.1.1.1" -type f -not -name '*.done' | wc -l)" = 40 ] ||
    problem "first install: the server tree is not whole"
cmp -s "$program" "$(host "$app")/Setup_iVOX.exe" || problem "first install: no copy of the setup program"
gds=$(sed -nE 's/^.{24}Ghi tệp (.*gds32\.dll) .*/\1/p' "$log")
[ -n "$gds" ] && [ -s "$(host "$gds")" ] || problem "first install: gds32.dll not written"
[ "$(shortcuts "$log" | wc -l)" = 2 ] || problem "first install: not two shortcuts logged"
while read -r f; do cleanup+=("rm -f '$(host "$f")'"); done < <(echo "$gds"; shortcuts "$log")
while read -r link; do [ -f "$(host "$link")" ] || problem "shortcut $link missing"; done < <(shortcuts "$log")
expect_value "$view\\${product_key#SoftWare\\}" AppPath "$app"
e="$view\\${entry_key#Software\\}"
expect_value "$e" DisplayName "Solvenza Quillora"
expect_value "$e" Publisher "Công ty Cổ phần Solvenza Việt nam"
expect_value "$e" InstallLocation "$app"
expect_value "$e" DisplayIcon "$app\\ivoxcc.exe,0"
expect_value "$e" UninstallString "\"$app\\Setup_iVOX.exe\" /UNINSTALL"
expect_value "$e" QuietUninstallString "\"$app\\Setup_iVOX.exe\" /UNINSTALL /SILENT"
expect_value "$e" NoModify dword:00000001
expect_value "$e" NoRepair dword:00000001
expect_value "$e" DisplayVersion "$version"
expect_value "$e" VersionMajor "dword:$(printf %08x "${version%%.*}")"
minor=${version#*.}; expect_value "$e" VersionMinor "dword:$(printf %08x "${minor%%.*}")"
expect_value "$e" InstallDate "$(date +%Y%m%d)"
# What went into the folder and the system folder, in KB: the folder's files less the log's
# server markers, within a few KB.
size=$(value "$e" EstimatedSize | sed -nE 's/^dword:([0-9a-f]+)$/\1/p')
bytes=$(( $(find "$(host "$app")" -type f -not -name '*.done' -printf '%s+' 2>/dev/null)$(stat -c %s "$(host "$gds")") ))
[ -n "$size" ] && [ $(( 16#$size * 1024 - bytes )) -ge 0 ] && [ $(( 16#$size * 1024 - bytes )) -lt 4096 ] ||
    problem "EstimatedSize is '$size' KB for $bytes bytes installed"
for field in DisplayName Publisher DisplayVersion; do
    expect_value "$e" "$field" "$(winget "AppsAndFeaturesEntries.0.$field")"
done
[ "$(winget PackageVersion)" = "$version" ] || problem "the manifest is of version $(winget PackageVersion), the program $version"
# An elevated install (the program's manifest asks for it; Wine grants it) puts the shortcuts
# where every user of the PC sees them; Linux keeps the one profile.
if [ "$machine" = wine ]; then common='^C:\\(users\\Public|ProgramData)\\'; else common='^C:\\users\\[^\\]+\\(Desktop|AppData)\\'; fi
shortcuts "$log" | grep -qvE "$common" && problem "shortcuts outside the expected profile: $(shortcuts "$log" | tr '\n' ' ')"
expect_log "$log" "$system_line" "Cài đặt: $(re "$app")$" \
    "Ghi tệp $(re "$app")\\\\ivoxcc\.exe \([0-9]+ byte, CRC [0-9a-f]{8}\)$" \
    "Ghi tệp $(re "$app")\\\\Firebird-2\.1\.1\.1\\\\bin\\\\fbserver\.exe \([0-9]+ byte, CRC [0-9a-f]{8}\)$" \
    "Tạo lối tắt .*Solvenza Quillora" "Ghi registry HKLM\\\\.*Quillora\\\\AppPath = $(re "$app")$" \
    "Ghi registry HKLM\\\\.*Uninstall\\\\Solvenza Quillora\\\\UninstallString = " \
    "Chạy .*install_super\.bat$" "(Chạy|Không chạy được) .*vccrt8_win32\.msi$" \
    "Hộp thông báo Solvenza: Cài đặt hoàn tất !!!$" "Kết thúc, mã thoát 0: thành công$" \
    "Setup_iVOX $(re "$version"), dòng lệnh: /Silent" "Chép chương trình cài đặt vào $(re "$app")\\\\Setup_iVOX\.exe$"
grep -q "Cài đặt hoàn tất" "$work/first-install.err" || problem "first install: the box's text is not on standard error"
# The server installers started by the install write a marker when they have run.
for _ in $(seq 1 100); do [ -f "$(host "$app")/Firebird-2.1.1.1/bin/install_super.done" ] && break; sleep 0.1; done

# --- A silent upgrade: the recorded folder, the log in the temporary folder ------------------
before=$(find "$drive_c" -name 'Setup_iVOX-*.log' 2>/dev/null | wc -l)
run upgrade 0 /SILENT /LOG
log=$(find "$drive_c" -name 'Setup_iVOX-*.log' -newer "$(host 'C:\first install.log')" 2>/dev/null | head -n 1)
[ "$(find "$drive_c" -name 'Setup_iVOX-*.log' | wc -l)" -gt "$before" ] || problem "upgrade: no log in the temporary folder"
expect_log "$log" "Nâng cấp: $(re "$app")$" "Ghi registry .*InstallLocation = $(re "$app")$" \
    "Kết thúc, mã thoát 0"
expect_value "$e" UninstallString "\"$app\\Setup_iVOX.exe\" /UNINSTALL"

# --- The upgrade as winget runs it: the manifest's switches, its folder and log --------------
# On Windows the line goes through a batch file as a deployment tool writes it, with the folder's
# closing backslash before the quote; the user has the desktop shortcut in his own profile by
# now, which the elevated upgrade must find and leave alone, not make a second one for all users.
line="$(winget InstallerSwitches.Silent) $(winget InstallerSwitches.Log) $(winget InstallerSwitches.InstallLocation) /SP- /NOCANCEL"
line=${line//<LOGPATH>/C:\\upgrade.log}; line=${line//<INSTALLPATH>/$app\\}
if [ "$machine" = wine ]; then
    desktop=$(shortcuts "$(host 'C:\first install.log')" | grep -i 'Desktop')
    user_desktop=$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')\\Desktop
    mv "$(host "$desktop")" "$(host "$user_desktop")/"
    cleanup+=("rm -f '$(host "$user_desktop")/$(basename "$(host "$desktop")")'")
    printf '@"Z:%s" %s\r\n@exit /b %%ERRORLEVEL%%\r\n' "${program//\//\\}" "$line" >"$work/upgrade.bat"
    rc=0; wine cmd /c "Z:${work//\//\\}\\upgrade.bat" >"$work/winget.out" 2>&1 || rc=$?
    returned+=("$rc")
    [ "$rc" = 0 ] || { problem "winget upgrade from a batch file: exit code $rc"; cat "$work/winget.out" >&2; }
    expect_log "$(host 'C:\upgrade.log')" "Giữ lối tắt có sẵn $(re "$user_desktop")\\\\Solvenza Quillora"
    [ ! -e "$(host "$desktop")" ] || problem "winget upgrade: a second desktop shortcut for all users"
else
    # The words of the line, quotes kept inside them as the program gets them on Linux.
    mapfile -t args < <(python3 -c 'import re, sys; print("\n".join(re.findall(r"""(?:[^\s"]|"[^"]*")+""", sys.argv[1])))' "$line")
    run winget-upgrade 0 "${args[@]}"
fi
expect_log "$(host 'C:\upgrade.log')" "Nâng cấp: $(re "$app")$" "Kết thúc, mã thoát 0"
expect_value "$e" InstallLocation "$app"

# --- The product runs: the install must close it first, the uninstall is refused -----------
rm -f "$(host "$app")/ivoxcc.exe" && cp "$idle" "$(host "$app")/ivoxcc.exe"
running=$(cksum <"$(host "$app")/ivoxcc.exe")
# Started directly (not through a function), so that $! is the program's own process.
if [ "$machine" = wine ]; then "$here/../../tools/wine-run.sh" "$app\\ivoxcc.exe" &
else "$(host "$app")/ivoxcc.exe" & fi
idle_pid=$!
cleanup+=("kill $idle_pid; wait $idle_pid")
sleep 2
run running-install 3 /SILENT /LOG=C:\\running.log
[ "$(cksum <"$(host "$app")/ivoxcc.exe")" = "$running" ] || problem "running: the product's file was replaced"
expect_log "$(host 'C:\running.log')" "Hộp thông báo Solvenza: Đóng ứng dụng Solvenza Accounting trước khi" \
    "Kết thúc, mã thoát 3"
run running-uninstall 3 /UNINSTALL /SILENT /LOG=C:\\refused.log
expect_log "$(host 'C:\refused.log')" "Tháo dỡ: $(re "$app")$" \
    "Hộp thông báo Solvenza Accounting: Đóng tất cả các ứng dụng trước khi tháo dỡ$" "Kết thúc, mã thoát 3"
expect_value "$e" DisplayName "Solvenza Quillora"
kill "$idle_pid"; wait "$idle_pid" 2>/dev/null
sleep 1

# --- A damaged payload: one byte of the product archive's program entry changed -------------
damaged="$(dirname "$program")/damaged-$(basename "$program")"
cleanup+=("rm -f '$damaged'")
python3 - "$program" "$payload" "$damaged" <<'EOF'
import struct, sys
exe, archive = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at, entry = exe.find(archive), archive.find(b"PK\x03\x04")
while archive[entry + 30:entry + 30 + struct.unpack_from("<H", archive, entry + 26)[0]] != b"ivoxcc.exe":
    entry = archive.find(b"PK\x03\x04", entry + 4)
data = entry + 30 + sum(struct.unpack_from("<HH", archive, entry + 26)) + 100
patched = bytearray(exe)
patched[at + data] ^= 0xFF
open(sys.argv[3], "wb").write(patched)
EOF
chmod +x "$damaged"
program_ok=$program; program=$damaged
run damaged 4 /SILENT '/DIR=C:\Apps\Damaged' '/LOG=C:\damaged.log'
program=$program_ok
expect_log "$(host 'C:\damaged.log')" "Hộp thông báo Solvenza: Không giải nén được ivoxcc\.exe" "Kết thúc, mã thoát 4"
[ ! -e "$(host 'C:\Apps\Damaged')/ivoxcc.exe" ] || problem "damaged: a program file was written"

# --- The uninstall as the system starts it: the entry's quiet uninstall string ---------------
string=$(value "$e" QuietUninstallString)
exe=$(sed -E 's/^"([^"]*)".*/\1/' <<<"$string")
quoted="\"$exe\""
read -r -a args <<<"${string#"$quoted"}"
rc=0; run_windows "$exe" "${args[@]}" >"$work/entry.out" 2>&1 || rc=$?
echo "uninstall from the entry: exit code $rc"
[ "$rc" = 0 ] || { problem "uninstall from the entry: exit code $rc"; cat "$work/entry.out" >&2; }
expect_no_key "$e"
expect_no_key "$view\\${product_key#SoftWare\\}"
[ ! -e "$(host "$app")/Setup_iVOX.exe" ] || problem "uninstall: the setup program's copy is still there"
[ ! -e "$(host "$app")/ivoxcc.exe" ] || problem "uninstall: ivoxcc.exe is still there"
[ -e "$(host "$app")/voxTram.exe" ] || problem "uninstall: voxTram.exe went too"
while read -r link; do [ ! -e "$(host "$link")" ] || problem "uninstall: $link is still there"; done \
    < <(shortcuts "$(host 'C:\first install.log')"; [ "$machine" = wine ] && echo "$user_desktop\\Solvenza Quillora.lnk")

# Every code a run returned is one the manifest expects (0 is success to winget anyway).
for rc in "${returned[@]}"; do
    [ "$rc" = 0 ] || [[ " $manifest_codes" == *" $rc "* ]] || problem "a run returned $rc, which the manifest does not expect"
done

[ "$fail" = 0 ] && echo "All command-line runs behaved."
exit "$fail"
