#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Brevane needs.
# Idempotent: when everything is present it returns at once.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # codecs and metadata
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libdeflate-dev libgif-dev libopenjp2-7-dev libtiff-dev libraw-dev libexiv2-dev
  libwebp-dev libavif-dev libheif-dev libjxl-dev
  # colour profiles
  liblcms2-dev
  # text
  libfreetype-dev libharfbuzz-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
  # desktop program
  qt6-base-dev qt6-translations-l10n
  # looking at the desktop program without a display (screenshots under a virtual X server)
  xvfb xauth xdotool
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a private session bus for the taskbar progress test
  dbus-daemon
  # independent readers and writers used by tests (never at run time)
  libimage-exiftool-perl netpbm imagemagick python3-pil libjpeg-turbo-progs libopenjp2-tools
  webp libavif-bin libheif-examples libjxl-tools
  # colour profiles of tests: lcms's own tools and profiles that Debian ships (Adobe RGB, Display P3, CMYK)
  liblcms2-utils colord-data argyll-ref libgs-common
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
