#!/usr/bin/env bash
# Builds the optimised `release` preset and runs the store benchmarks, printing
# Google Benchmark's table followed by a summary with each target's PASS/MISS.
# Safe to run repeatedly: configuring and building are incremental, and every
# benchmark repetition works in its own temporary folder that it removes.
# Extra arguments go to the benchmark (e.g. --benchmark_filter=Insert).
set -euo pipefail

cd "$(dirname "$0")/.."

if [ -f scripts/setup.sh ]; then
  bash scripts/setup.sh
fi

cmake --preset release
cmake --build --preset release --target store_bench

exec ./build/release/bench/store_bench "$@"
