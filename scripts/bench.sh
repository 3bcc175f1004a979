#!/usr/bin/env bash
# Builds the benchmarks in Release and prints their table: cold start, memory, install throughput,
# responsiveness and manifest decoding, each against a floor built from bare Qt. Figures are
# medians of several runs; targets are goals, reported as met or missed. On a busy machine the
# figures wander: run it when nothing else is compiling.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

# The build speaks only when it fails, so that the table is all the command prints.
mkdir -p build-bench
if ! {
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEPH_BENCH=ON &&
        cmake --build build-bench --parallel --target zeph_bench
} >build-bench/bench-build.log 2>&1; then
    cat build-bench/bench-build.log >&2
    exit 1
fi

# Under a virtual X server the table gains rows for the xcb platform plugin.
if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" build-bench/bench/zeph_bench
else
    build-bench/bench/zeph_bench
fi
