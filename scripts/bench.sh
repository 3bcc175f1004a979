#!/usr/bin/env bash
# Builds the benchmark in Release and prints its table: cold start to the first paint against
# bare Qt, peak memory against a server that writes without waiting, and install throughput from a
# server on this machine. The build reads its manifest from this machine, so that nothing leaves
# it. Figures are medians of several runs; targets are reported as met or missed. On a busy machine the figures wander: run
# it when nothing else is compiling.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

# The build speaks only when it fails, so that the table is all the command prints.
mkdir -p build-bench
if ! {
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEPH_BENCH=ON \
        -DZEPH_MANIFEST_URL=http://127.0.0.1:47813/latest.json &&
        cmake --build build-bench --parallel --target zeph_bench
} >build-bench/bench-build.log 2>&1; then
    cat build-bench/bench-build.log >&2
    exit 1
fi

# Without a display the windows are drawn off screen.
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
build-bench/bench/zeph_bench
