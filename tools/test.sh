#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the tests, the INDI driver's
# tests against libindi 2.x, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a bounded time each, the
# Debian package in a fresh Debian root, and the builds for 32- and 64-bit ARM
# with their tests under qemu-user.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)

echo "== tests"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== the INDI driver against libindi 2.x"
tools/test-libindi2.sh

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DLUMIVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j"$jobs" --target all
ctest --test-dir build-asan -j"$jobs" --output-on-failure

echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DLUMIVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz -j"$jobs" --output-on-failure

echo "== package"
tests/test_package.sh

echo "== ARM builds (armhf, arm64), tested under qemu-user"
tools/cross.sh --test armhf arm64
