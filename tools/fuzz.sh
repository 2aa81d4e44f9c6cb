#!/usr/bin/env bash
# Runs each fuzz target for longer than the test suite does:
#   tools/fuzz.sh [SECONDS_PER_TARGET]   (default 600)
# New inputs collect in build-fuzz/tests/fuzz/corpus/; a crash leaves its input
# in the current folder as crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
tools/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DLUMIVANE_FUZZ=ON -DLUMIVANE_FUZZ_SECONDS="$seconds" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"
ctest --test-dir build-fuzz -j"$(nproc)" --output-on-failure -V | grep -E 'Done [0-9]+ runs|stat::number_of_executed_units|Test #|tests passed'
