#!/usr/bin/env bash
# Builds the Debian packages from the source package in debian/:
#   tools/package.sh
# Installs the build dependencies that debian/control names (only those
# missing), then builds a copy of this checkout with dpkg-buildpackage:
# indi-lumivane, lumivaned, lumivane and lumivane-sim_VERSION_ARCH.deb land in
# build-package/. DEB_BUILD_OPTIONS (noopt, nocheck, parallel=N) are honoured;
# without parallel=N it builds on every core.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg-checkbuilddeps >/dev/null 2>&1; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -qq --no-install-recommends ./ >/dev/null
fi

version=$(dpkg-parsechangelog -S Version)
tree=build-package/lumivane-${version%-*}
rm -rf "$tree" build-package/*.deb build-package/*.buildinfo build-package/*.changes
mkdir -p "$tree"
git ls-files -co --exclude-standard -z | tar --null -T - -cf - | tar -C "$tree" -xf -
(cd "$tree" && dpkg-buildpackage -us -uc -b -J >../build.log 2>&1) ||
  { tail -n 40 build-package/build.log >&2; echo "dpkg-buildpackage failed; see build-package/build.log" >&2; exit 1; }
ls build-package/*.deb
