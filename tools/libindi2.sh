#!/usr/bin/env bash
# Builds a libindi 2.x release archive (its driver and client libraries,
# indiserver and its command-line clients; none of INDI's own drivers) and
# installs it into a cache folder outside the checkout, keyed by the archive's
# checksum, so that only the first run on a machine pays for the build. Prints
# the folder (the installation's prefix) on standard output, and the build's
# output on standard error.
#   tools/libindi2.sh ARCHIVE
# The cache is $LUMIVANE_CACHE, or lumivane/ in the user's cache folder.
set -euo pipefail
archive=$(realpath "$1")
sum=$(sha256sum "$archive" | cut -c1-16)
cache=${LUMIVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumivane}
prefix=$cache/libindi-$sum
mkdir -p "$cache"
# Runs sharing the cache wait for the one that builds.
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.complete" ]; then
  echo "Building $(basename "$archive") into $prefix (once for this archive)" >&2
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  tar xf "$archive" -C "$work"
  source=("$work"/*/)
  cmake -S "${source[0]}" -B "$work/build" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_RPATH="$prefix/lib" -DCMAKE_BUILD_TYPE=Release \
    -DINDI_BUILD_DRIVERS=OFF -DINDI_BUILD_COMMON=ON -DINDI_BUILD_SERVER=ON \
    -DINDI_BUILD_CLIENT=ON -DINDI_BUILD_XISF=OFF -DINDI_BUILD_STATIC=OFF \
    -DINDI_BUILD_EXAMPLES=OFF -DINDI_INSTALL_UDEV_RULES=OFF >&2
  cmake --build "$work/build" -j"$(nproc)" >&2
  rm -rf "$prefix"
  cmake --install "$work/build" >&2
  touch "$prefix/.complete"
fi
echo "$prefix"
