#!/usr/bin/env bash
# Builds the Debian package lumivane_VERSION_ARCH.deb into build-package/:
#   tools/package.sh
# Release build with all of Debian's hardening flags, stripped, its dependencies found
# by dpkg-shlibdeps; the layout is packaging/CMakeLists.txt's.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --no-build
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_SYSTEM_INSTALL=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack >/dev/null)
ls build-package/lumivane_*.deb
