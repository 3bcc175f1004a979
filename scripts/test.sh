#!/usr/bin/env bash
# Installs what is missing, builds everything (the benchmarks too, so that they keep building) and
# runs every test twice: built by GCC as shipped, then built by Clang, the compiler of Apple's
# tools, under AddressSanitizer and UndefinedBehaviorSanitizer, each with warnings as errors. The
# manifest fuzz corpus is replayed as a test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

# The test builds read their manifest from this machine, so that the installer the tests run
# never looks up a host name.
here_manifest=-DZEPH_MANIFEST_URL=http://127.0.0.1:47813/latest.json

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEPH_BENCH=ON -DZEPH_WERROR=ON "$here_manifest"
cmake --build build --parallel
ctest --test-dir build --output-on-failure --parallel 2

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEPH_SANITIZE=ON -DZEPH_WERROR=ON \
    "$here_manifest" \
    -DCMAKE_CXX_COMPILER=clang++
cmake --build build-sanitize --parallel
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure --parallel 2
