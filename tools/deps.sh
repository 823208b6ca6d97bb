#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, those that are missing only.
#   tools/deps.sh native   what building and running the Linux program needs
#   tools/deps.sh all      everything: cross compilers, Wine, the virtual display, fonts
#   tools/deps.sh bench    everything, and the peers bench/run.sh compares the program with
set -euo pipefail

native=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config googletest zlib1g-dev libfltk1.3-dev libpng-dev
        fonts-dejavu-core xvfb xauth x11-utils xdotool imagemagick
        zip unzip 7zip libarchive-tools python3 python3-yaml strace)
windows=(locales g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
         binutils-mingw-w64-i686 libz-mingw-w64-dev wine wine64 osslsigncode openssl)

# The installer builder that the silent install is timed against.
bench=(nsis)

wanted=("${native[@]}")
case "${1:-all}" in
    all) wanted+=("${windows[@]}") ;;
    bench) wanted+=("${windows[@]}" "${bench[@]}") ;;
esac

# The i686 build runs under Wine's 32-bit half, which is a package of the i386 architecture.
if [ "${1:-all}" = all ]; then wanted+=(wine32:i386); fi

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo "${as_root[@]}"); fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${as_root[@]}" dpkg --add-architecture i386
    fi
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Some Windows tests run under a Vietnamese locale (code page 1258). Wine names the host's files
# in the host locale's character set, so the host must have that locale, or every file name
# with a Vietnamese letter fails.
if [ "${1:-all}" != native ] && ! locale -a 2>/dev/null | grep -qix 'vi_VN.utf-\?8'; then
    echo "Generating the vi_VN.UTF-8 locale"
    "${as_root[@]}" localedef -i vi_VN -f UTF-8 vi_VN.UTF-8
fi
