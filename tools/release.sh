#!/usr/bin/env bash
# Builds the Windows setup program in release form, for handing out, and writes into dist/:
#   Setup_iVOX-<version>-x64.exe   the program for 64-bit Windows
#   Setup_iVOX-<version>-x86.exe   the program for 32-bit Windows (runs on both)
#   SHA256SUMS                     their SHA-256 sums, as sha256sum -c reads them
#   winget/                        the winget manifest of packaging/winget with those sums
#
#   tools/release.sh [--build DIR] [--dist DIR] [--arch x64|x86]...
#
# The builds are reproducible: the same commit gives the same bytes in any folder (no source or
# build path in the objects, no time stamp in the PE headers, resources in a fixed order, no
# debug information). With SIGN_PKCS12 naming a PKCS#12 file (its password in SIGN_PASSWORD)
# the programs are signed with osslsigncode (SHA-256), with a time stamp from the RFC 3161 server
# SIGN_TIMESTAMP_URL when that is set; the sums are those of the signed files.
set -euo pipefail
root=$(cd "$(dirname "$(realpath "$0")")/.." && pwd)
build="$root/build/release"
dist="$root/dist"
archs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(realpath -m "$2"); shift 2 ;;
        --dist) dist=$(realpath -m "$2"); shift 2 ;;
        --arch) archs+=("$2"); shift 2 ;;
        *) echo "release.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ ${#archs[@]} -gt 0 ] || archs=(x64 x86)
if [ -n "${SIGN_PKCS12:-}" ]; then
    [ -f "$SIGN_PKCS12" ] || { echo "release.sh: SIGN_PKCS12: no file $SIGN_PKCS12" >&2; exit 2; }
    command -v osslsigncode >/dev/null || { echo "release.sh: osslsigncode is missing (tools/deps.sh)" >&2; exit 2; }
fi

# Only what the product needs is built: the program and what goes into it.
mkdir -p "$dist"
rm -f "$dist"/Setup_iVOX-*.exe "$dist/SHA256SUMS"
version=
for arch in "${archs[@]}"; do
    case "$arch" in
        x64) toolchain=toolchain-mingw-x86_64.cmake ;;
        x86) toolchain=toolchain-mingw-i686.cmake ;;
        *) echo "release.sh: unknown architecture $arch" >&2; exit 2 ;;
    esac
    dir="$build/$arch"
    echo "=== Building Setup_iVOX for $arch in $dir"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DSETUP_RELEASE=ON -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$dir" --target Setup_iVOX -j "$(nproc)"
    version=$(cat "$dir/setup-version.txt")
    out="$dist/Setup_iVOX-$version-$arch.exe"
    if [ -n "${SIGN_PKCS12:-}" ]; then
        # The password goes through a pipe, not the command line that every user can read.
        stamp=()
        if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then stamp=(-ts "$SIGN_TIMESTAMP_URL"); fi
        rm -f "$out.signing"
        osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass <(printf '%s' "${SIGN_PASSWORD:-}") \
            -h sha256 -n "Solvenza Quillora" "${stamp[@]}" \
            -in "$dir/app/Setup_iVOX.exe" -out "$out.signing" >/dev/null
        mv "$out.signing" "$out"
        echo "Signed $out"
    else
        cp "$dir/app/Setup_iVOX.exe" "$out"
    fi
done

(cd "$dist" && sha256sum Setup_iVOX-*.exe >SHA256SUMS)
# The winget manifest with the real sums in place of the placeholders, per architecture.
mkdir -p "$dist/winget"
cp "$root"/packaging/winget/*.yaml "$dist/winget/"
python3 - "$dist/winget/Solvenza.Quillora.installer.yaml" "$dist/SHA256SUMS" "$version" <<'EOF'
import re, sys
path, sums, version = sys.argv[1], sys.argv[2], sys.argv[3]
by_arch = {}
for line in open(sums):
    digest, name = line.split()
    by_arch[re.search(r"-(x64|x86)\.exe$", name).group(1)] = digest.upper()
text, out, arch = open(path, encoding="utf-8").read().splitlines(), [], None
for line in text:
    m = re.match(r"\s*- Architecture: (\S+)", line)
    if m:
        arch = m.group(1)
    if "InstallerSha256:" in line and arch in by_arch:
        line = re.sub(r"InstallerSha256: \S+", "InstallerSha256: " + by_arch[arch], line)
    out.append(line)
open(path, "w", encoding="utf-8").write("\n".join(out) + "\n")
EOF
echo "=== dist: $(cd "$dist" && ls Setup_iVOX-*.exe | tr '\n' ' ')(version $version)"
cat "$dist/SHA256SUMS"
