#!/usr/bin/env bash
# Installs the Debian packages the panel needs (only those missing), then
# configures and builds the project into build/ (not with --no-build). Used by
# the README's commands.
set -euo pipefail
cd "$(dirname "$0")/.."

# The libraries the project builds against, which tools/cross.sh installs for
# ARM as well (`tools/setup.sh --libraries` lists them).
libraries=(
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
  libx11-dev libxcb1-dev         # the panel keeps its read-outs' captions in the X server; the benchmark
                                 # watches it; a desktop test sends it a message
  libindi-dev                    # the INDI light-box driver
)
[ "${1:-}" = --libraries ] && { echo "${libraries[*]}"; exit 0; }

packages=(
  cmake g++ make pkg-config
  "${libraries[@]}"
  gstreamer1.0-plugins-good      # decodes the mp3 sound
  fonts-ipafont-gothic           # Japanese Gothic face for the captions
  xvfb xauth openbox xdotool x11-utils imagemagick  # tests and screenshots on a real X server
  strace                         # tests read the order of the line's system calls
  qt6ct                          # tests set a dark theme as a user does, through its platform theme
  sox libsox-fmt-mp3             # makes the sound file
  clang libclang-rt-14-dev       # fuzz targets (libFuzzer) and sanitizer runtimes
  lld                            # links the fault-seeding builds quickly
  desktop-file-utils             # checks and indexes the menu entry
  indi-bin                       # indiserver and its clients
  libcfitsio-dev libnova-dev libusb-1.0-0-dev libcurl4-gnutls-dev libgsl-dev libjpeg-dev
  zlib1g-dev libev-dev libfftw3-dev xz-utils  # build libindi 2.x, to test the driver against it too
  chromium chromium-driver       # the browser test of lumivaned's control page (WebDriver)
  dpkg-dev file lintian          # the Debian packages: tools/package.sh installs their build dependencies; lintian checks them
  debootstrap iproute2 systemd   # the package's test in a fresh Debian root, offline; its units checked;
                                 # the ARM builds' root, their tests offline
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = --no-build ] && exit 0
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
