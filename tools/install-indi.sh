#!/usr/bin/env bash
# Builds the INDI driver alone against the libindi that pkg-config finds (the
# system's, 1.9 or 2.x, or the one PKG_CONFIG_PATH names) and installs it into
# that libindi's prefix: the driver beside its indiserver, its description in
# share/indi. Uses sudo unless run as root or the folder is the user's.
#   tools/install-indi.sh
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(pkg-config --variable=prefix libindi)
# Afresh, so that what pkg-config found before does not stay.
cmake --fresh -S . -B build-indi -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-indi -j"$(nproc)" --target indi_lumivane
sudo=""
[ "$(id -u)" -eq 0 ] || [ -w "$prefix/bin" ] || sudo="sudo"
$sudo cmake --install build-indi --component indi --prefix "$prefix"
