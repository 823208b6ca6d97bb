#!/usr/bin/env bash
# The release as it is handed out (tools/release.sh):
# - reproducible: built twice, in two folders of different depth, the programs are the same bytes
#   (and their PE headers carry no time stamp);
# - stated: the version resources of the program and of the engine it carries, and the
#   manifest's assembly version, name the project's version;
# - signed with a throwaway certificate: osslsigncode verifies the signature, taking it off gives
#   back the unsigned bytes, and under Wine the signed program installs silently, copies itself
#   as the uninstaller and uninstalls from that copy.
#
#   check-release.sh --version X.Y.Z [--arch x64|x86]... [--second-arch x64|x86]...
#
# The first build makes every --arch (default both); the second build, which proves the bytes do
# not depend on the folder, makes the --second-arch ones (default the same) without the compiler
# cache, so every object is compiled again. WINEPREFIX names the prefix of the install run.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
archs=(); second=()
while [ $# -gt 0 ]; do
    case "$1" in
        --version) version=$2; shift 2 ;;
        --arch) archs+=("$2"); shift 2 ;;
        --second-arch) second+=("$2"); shift 2 ;;
        *) echo "check-release.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ ${#archs[@]} -gt 0 ] || archs=(x64 x86)
[ ${#second[@]} -gt 0 ] || second=("${archs[@]}")
work=$(mktemp -d)
cleanup=("rm -rf '$work'")
trap 'for ((i=${#cleanup[@]}-1; i>=0; i--)); do eval "${cleanup[i]}" 2>/dev/null || true; done' EXIT
fail=0
problem() { echo "FAIL: $*" >&2; fail=1; }
arch_args() { local a; for a in "$@"; do printf -- '--arch\n%s\n' "$a"; done; }

mapfile -t first_args < <(arch_args "${archs[@]}")
mapfile -t second_args < <(arch_args "${second[@]}")
"$root/tools/release.sh" --build "$work/one/build" --dist "$work/one/dist" "${first_args[@]}" ||
    { echo "FAIL: the first release build" >&2; exit 1; }
CCACHE_DISABLE=1 "$root/tools/release.sh" --build "$work/second/is/deeper/build" \
    --dist "$work/second/dist" "${second_args[@]}" ||
    { echo "FAIL: the second release build" >&2; exit 1; }

for arch in "${second[@]}"; do
    name="Setup_iVOX-$version-$arch.exe"
    cmp "$work/one/dist/$name" "$work/second/dist/$name" ||
        problem "$name differs between the two builds"
done
for arch in "${archs[@]}"; do
    exe="$work/one/dist/Setup_iVOX-$version-$arch.exe"
    [ -s "$exe" ] || { problem "no $exe"; continue; }
    grep -q "  Setup_iVOX-$version-$arch.exe$" "$work/one/dist/SHA256SUMS" || problem "SHA256SUMS lacks $arch"
    # "Time/Date" of the PE header: zero, which objdump shows as the epoch.
    stamp=$(x86_64-w64-mingw32-objdump -p "$exe" | grep '^Time/Date')
    grep -q "1970" <<<"$stamp" || problem "$arch: a time stamp in the PE header: $stamp"
    # The version resources' strings: a name, then its value, each UTF-16 and NUL-ended.
    python3 - "$exe" "Setup_iVOX.exe=Cài đặt Solvenza Quillora" \
            "DelZip179.dll=Bộ giải nén của Solvenza Quillora" <<EOF || problem "$arch: the version resources"
import re, sys
data = open(sys.argv[1], "rb").read()
def value(block, name):
    m = re.search(re.escape((name + "\0").encode("utf-16-le")) + rb"(?:\0\0)*((?:[^\0].|\0[^\0])*?)\0\0", block, re.S)
    return m.group(1).decode("utf-16-le", "replace") if m else None
ok = True
for want in sys.argv[2:]:
    original, description = want.split("=")
    m = re.search(re.escape("OriginalFilename\0".encode("utf-16-le")) + rb"(?:\0\0)?" +
                  re.escape((original + "\0").encode("utf-16-le")), data)
    at = m.start() if m else -1
    if at < 0:
        print("no version resource of", original); ok = False; continue
    start = data.rfind("StringFileInfo".encode("utf-16-le"), 0, at)
    block = data[start:at + 200]
    expected = {"CompanyName": "Solvenza Corp", "ProductName": "Solvenza Quillora",
                "FileVersion": "$version", "ProductVersion": "$version", "FileDescription": description}
    for name, v in expected.items():
        got = value(block, name)
        if got != v:
            print(original, name, repr(got), "expected", repr(v)); ok = False
sys.exit(0 if ok else 1)
EOF
    grep -qaF "name=\"Solvenza.Setup_iVOX\" version=\"$version.0\"" "$exe" ||
        problem "$arch: the manifest's assembly is not of version $version.0"
done
( cd "$work/one/dist" && sha256sum -c --quiet SHA256SUMS ) || problem "SHA256SUMS does not match"
grep -q "InstallerSha256: $(awk '/x64/ { print toupper($1) }' "$work/one/dist/SHA256SUMS")" \
    "$work/one/dist/winget/Solvenza.Quillora.installer.yaml" || problem "the winget manifest lacks the x64 sum"

# --- Signed with a throwaway certificate ----------------------------------------------------
arch=${archs[0]}
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
    -subj "/CN=Solvenza Test Signing" -days 2 -addext extendedKeyUsage=codeSigning 2>/dev/null &&
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.p12" \
    -passout pass:throwaway 2>/dev/null || { echo "FAIL: no throwaway certificate" >&2; exit 1; }
SIGN_PKCS12="$work/sign.p12" SIGN_PASSWORD=throwaway \
    "$root/tools/release.sh" --build "$work/one/build" --dist "$work/signed" --arch "$arch" >/dev/null ||
    { echo "FAIL: the signed release" >&2; exit 1; }
signed="$work/signed/Setup_iVOX-$version-$arch.exe"
osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/verify.out" 2>&1 ||
    { problem "osslsigncode does not verify the signed program"; cat "$work/verify.out" >&2; }
osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null 2>&1 &&
    cmp -s "$work/unsigned.exe" "$work/one/dist/Setup_iVOX-$version-$arch.exe" ||
    problem "the signed program without its signature is not the unsigned one"

# The signed program installs, copies itself and uninstalls from that copy, under Wine.
if [ -n "${WINEPREFIX:-}" ] && command -v wine >/dev/null; then
    wine() { "$root/tools/wine-run.sh" "$@"; }
    unset DISPLAY WAYLAND_DISPLAY
    drive_c="$WINEPREFIX/drive_c"
    touch "$work/start"
    cleanup+=("rm -rf '$drive_c/Apps/Signed' '$drive_c/signed.log' '$drive_c/signed-uninstall.log'")
    # The archive copies and the moved uninstaller in the temporary folder, the client library.
    cleanup+=("find '$drive_c/users' -path '*Temp*' -type f -newer '$work/start' -delete")
    cleanup+=("rm -f '$drive_c/windows/syswow64/gds32.dll' '$drive_c/windows/system32/gds32.dll'")
    cleanup+=("wine reg delete 'HKLM\\Software\\Wow6432Node\\Solvenza Corp\\ERP\\Quillora' /f >/dev/null 2>&1")
    cleanup+=("wine reg delete 'HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Solvenza Quillora' /f >/dev/null 2>&1")
    rc=0; wine "$signed" /VERYSILENT /SUPPRESSMSGBOXES '/DIR=C:\Apps\Signed' '/LOG=C:\signed.log' >/dev/null 2>&1 || rc=$?
    [ "$rc" = 0 ] || { problem "the signed program's silent install: exit code $rc"; cat "$drive_c/signed.log" >&2; }
    cmp -s "$signed" "$drive_c/Apps/Signed/Setup_iVOX.exe" || problem "the signed program did not copy itself"
    grep -q "Setup_iVOX $version, " "$drive_c/signed.log" || problem "the log does not name version $version"
    rc=0; wine 'C:\Apps\Signed\Setup_iVOX.exe' /UNINSTALL /SILENT '/LOG=C:\signed-uninstall.log' >/dev/null 2>&1 || rc=$?
    [ "$rc" = 0 ] || problem "the uninstall from the signed copy: exit code $rc"
    [ ! -e "$drive_c/Apps/Signed/Setup_iVOX.exe" ] || problem "the signed copy stayed after the uninstall"
else
    echo "No Wine prefix (WINEPREFIX): the signed program was not run."
fi

[ "$fail" = 0 ] && echo "The release is reproducible, stated and signed."
exit "$fail"
