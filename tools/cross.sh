#!/usr/bin/env bash
# Builds the whole project for 32- or 64-bit ARM (Debian's armhf, arm64) with
# Debian 12's cross compiler into build-ARCH/; with --test, then runs there under
# qemu-user, offline, the tests that need neither a display nor indiserver. As root:
#   tools/cross.sh [--test] ARCH...
# The build runs in a Debian root of its own for each ARCH (libindi-dev cannot be
# installed for two architectures at once), made once for what defines it and
# kept in ~/.cache/lumivane; the machine's own packages stay as they are.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
cd "$(dirname "$0")/.."
. tools/debian-root.sh
tests='^(test_inverter_model|test_sim_reply|test_settings_folder|test_alpaca|test_device_link|test_panel)$'
test=false
[ "${1:-}" = --test ] && { test=true; shift; }
(($#)) || { echo "usage: tools/cross.sh [--test] ARCH..." >&2; exit 2; }
read -ra libraries <<<"$(tools/setup.sh --libraries)"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/lumivane
mkdir -p "$cache"

# A Debian root in DIR for building for ARCH: the cross compiler, CMake, the
# libraries as ARCH, and qemu-user from backports (bookworm's 7.2 refuses the
# clone() that Qt starts programs with).
cross_root() {
  local dir=$1 arch=$2
  debian_root "$dir"
  echo "deb $(debian_mirror) bookworm-backports main" >"$dir/etc/apt/sources.list.d/backports.list"
  chroot "$dir" dpkg --add-architecture "$arch"
  chroot "$dir" apt-get update -q
  chroot "$dir" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    crossbuild-essential-"$arch" cmake make pkgconf:"$arch" "${libraries[@]/%/:$arch}" \
    qemu-user/bookworm-backports
  chroot "$dir" apt-get clean
  mkdir "$dir/src" "$dir/build"
}

# Runs COMMAND in ROOT, with the checkout as /src (read-only) and BUILD as /build,
# in namespaces of its own: its mounts, its processes (all ended with it) and a
# network of loopback alone.
in_root() {
  local root=$1 build=$2
  shift 2
  unshare --mount --pid --net --fork --propagation private bash -euc '
    root=$1 build=$2
    shift 2
    ip link set lo up
    mount -t proc proc "$root/proc"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
    mount -t tmpfs tmpfs "$root/tmp"
    mount --bind -o ro "$PWD" "$root/src"
    mount --bind "$build" "$root/build"
    chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 "$@"' - "$root" "$build" "$@"
}

took() { echo "$(((SECONDS - $1) / 60)) min $(((SECONDS - $1) % 60)) s"; }

for arch in "$@"; do
  key=$({ declare -f debian_root cross_root; echo "$arch ${libraries[*]}"; } | sha256sum | cut -c1-16)
  root=$cache/cross-$arch-$key
  # One run at a time uses the roots for an architecture.
  exec {lock}>"$cache/cross-$arch.lock"
  flock "$lock"
  start=$SECONDS
  if [ ! -d "$root" ]; then
    echo "$arch: making the Debian root $root"
    rm -rf --one-file-system "$cache/cross-$arch-"*
    cross_root "$root.new" "$arch" >"$root.log" 2>&1 || {
      echo "$arch: the root could not be made; see $root.log" >&2
      exit 1
    }
    mv "$root.new" "$root"
    echo "$arch: root made in $(took "$start")"
  fi

  start=$SECONDS
  mkdir -p "build-$arch"
  in_root "$root" "$PWD/build-$arch" sh -ec "
    cmake -S /src -B /build -DCMAKE_TOOLCHAIN_FILE=/src/cmake/debian-cross.cmake -DDEB_HOST_ARCH=$arch >/dev/null
    cmake --build /build -j$(nproc)" >"build-$arch/build.log" 2>&1 || {
    echo "$arch: the build failed; see build-$arch/build.log" >&2
    exit 1
  }
  echo "$arch: built in $(took "$start")"
  if $test; then
    start=$SECONDS
    in_root "$root" "$PWD/build-$arch" ctest --test-dir /build -j"$(nproc)" --output-on-failure --no-tests=error -R "$tests"
    echo "$arch: tests under qemu-user took $(took "$start")"
  fi
  exec {lock}>&-
done
