#!/usr/bin/env bash
# Builds the native release preset and runs the benchmarks, printing their numbers.
#   bench/run.sh [entries of the directory benchmark]
# The install benchmark gets a build of its own, build/linux-bench (Release), that embeds
# payload archives of a realistic size written into build/linux-bench/realistic-payload; the
# other builds keep the demo payload. Last, the silent install of a Windows build with the same
# payload is timed under Wine against an NSIS installer of the same files (bench/nsis-compare.sh).
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
tools/deps.sh bench
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target setup_bench_directory setup_bench_extract \
    setup_bench_payload
echo "== Reading a directory"
build/linux/bench/setup_bench_directory "$@"
echo
echo "== Extracting"
build/linux/bench/setup_bench_extract "$PWD/build/linux/app"
echo
echo "== One whole install"
payload="$PWD/build/linux-bench/realistic-payload"
build/linux/bench/setup_bench_payload "$payload"
cmake -S . -B build/linux-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSETUP_PAYLOAD_DIR="$payload" >/dev/null
cmake --build build/linux-bench -j "$(nproc)" --target setup_bench_install
build/linux-bench/bench/setup_bench_install
echo
echo "== The silent install under Wine, against an NSIS installer of the same files"
bench/nsis-compare.sh "$payload"
