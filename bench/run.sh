#!/usr/bin/env bash
# Builds the native release preset and runs the benchmarks, printing their numbers.
#   bench/run.sh [entries]
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
tools/deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target setup_bench_directory
build/linux/bench/setup_bench_directory "$@"
