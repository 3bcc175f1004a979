#!/usr/bin/env bash
# Fuzzes the manifest decoder with libFuzzer for the given number of seconds (default 600).
# New interesting inputs collect in build-fuzz/corpus; crashing inputs land in build-fuzz/ as
# crash-*: copy them into tests/fuzz/corpus to keep them as regression cases.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

scripts/install-dependencies.sh
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPH_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake --build build-fuzz --target manifest_fuzzer
mkdir -p build-fuzz/corpus
cd build-fuzz
./tests/fuzz/manifest_fuzzer corpus ../tests/fuzz/corpus -max_total_time="$seconds" \
    -max_len=4096 -print_final_stats=1 -artifact_prefix=./
