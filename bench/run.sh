#!/usr/bin/env bash
# Builds the program and the benchmark (Release, into build-bench/), runs the
# benchmark and writes its table and notes into the measured part of
# docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target lumivane-bench >/dev/null

# The start-up and desktop figures need a real X server; the rest runs off
# screen. Qt wants a private runtime folder, as a desktop session has one.
. tools/xserver.sh
runtime=$(mktemp -d)
start_xvfb
trap 'kill "$XVFB_PID" 2>/dev/null || true; rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen \
  build-bench/bin/lumivane-bench --doc docs/performance.md
