#!/usr/bin/env bash
# Builds the native release preset and runs the benchmarks, printing their numbers.
#   bench/run.sh [entries of the directory benchmark]
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
tools/deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target setup_bench_directory setup_bench_extract
echo "== Reading a directory"
build/linux/bench/setup_bench_directory "$@"
echo
echo "== Extracting"
build/linux/bench/setup_bench_extract "$PWD/build/linux/app"
