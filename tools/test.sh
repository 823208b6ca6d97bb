#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: native, sanitizers, and
# both Windows builds under Wine, each in a fresh prefix. Screenshots of the real window land in
# build/<preset>/screenshots/.
set -uo pipefail
cd "$(dirname "$(realpath "$0")")/.."
start=$(date +%s)
step() { printf '\n=== %s (%ss)\n' "$1" "$(( $(date +%s) - start ))"; }

step "Installing missing packages"
tools/deps.sh all || exit 1

for preset in linux linux-asan windows windows-x86; do
    step "Building $preset"
    cmake --preset "$preset" >/dev/null || exit 1
    cmake --build --preset "$preset" -j "$(nproc)" || exit 1
done

passed=0
failed=0
run_ctest() {
    local log; log=$(mktemp)
    # Windows tests share one Wine prefix (and its registry), so they run one at a time.
    local jobs=2; [[ "$1" = windows* ]] && jobs=1
    ctest --preset "$1" -j "$jobs" 2>&1 | tee "$log"
    local line; line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
    else
        local f t
        f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
        passed=$((passed + t - f)); failed=$((failed + f))
    fi
    rm -f "$log"
}

# The build machine writes the payload archives, so every preset must embed the same bytes.
step "Comparing the payload archives of the presets"
for archive in cacfile.zip firebird.zip; do
    sums=$(sha256sum build/*/payload/"$archive" 2>/dev/null | tee /dev/stderr | awk '{print $1}' | sort -u)
    if [ "$(wc -l <<<"$sums")" = 1 ] && [ -n "$sums" ]; then
        passed=$((passed + 1))
    else
        echo "$archive differs between the presets"; failed=$((failed + 1))
    fi
done

step "Testing linux"
run_ctest linux
step "Testing linux-asan"
run_ctest linux-asan
step "Testing windows under Wine"
export WINEPREFIX="$PWD/build/windows/wineprefix"
tools/wine-prefix.sh "$WINEPREFIX"
run_ctest windows
wineserver -k 2>/dev/null || true
# The 32-bit build under Wine's 32-bit half, in a 64-bit prefix of its own (the registry views
# and system folders of WOW64); its install tests also run once in a 32-bit prefix.
step "Testing windows-x86 under Wine"
export WINEPREFIX="$PWD/build/windows-x86/wineprefix"
tools/wine-prefix.sh "$WINEPREFIX"
run_ctest windows-x86
wineserver -k 2>/dev/null || true

step "Done"
echo "Screenshots: build/linux/screenshots/setup-window.png build/windows/screenshots/setup-window.png"
echo "all: $passed passed, $failed failed"
[ "$failed" = 0 ]
