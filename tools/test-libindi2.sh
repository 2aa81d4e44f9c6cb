#!/usr/bin/env bash
# Builds the INDI driver and its test against libindi 2.x, from the release
# archive in ../shared/third_party/ (built once into a cache by
# tools/libindi2.sh), and runs the test under that release's own indiserver.
# Without that folder (a user's clone) it says so and skips. Options are
# passed to CMake:
#   tools/test-libindi2.sh [-DCMAKE_CXX_COMPILER_LAUNCHER=ccache ...]
set -euo pipefail
cd "$(dirname "$0")/.."
third_party=../shared/third_party
if [ ! -d "$third_party" ]; then
  echo "Skipped: no $third_party/ beside the checkout, so no libindi 2.x to build the driver against."
  exit 0
fi
prefix=$(tools/libindi2.sh "$third_party/indi-2.2.4.2.tar.xz")
# Afresh, so that a new archive's prefix replaces what pkg-config found before.
PKG_CONFIG_PATH=$prefix/lib/pkgconfig cmake --fresh -S . -B build-indi2 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build-indi2 -j"$(nproc)" --target indi_lumivane test_indi
ctest --test-dir build-indi2 -R '^test_indi$' --output-on-failure
