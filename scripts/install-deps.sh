#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing; further
# packages named on the command line (a benchmark's) too.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-qpa-plugins
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-shm0-dev libxcb-res0-dev
  libxcb-composite0-dev libxcb-damage0-dev libxcb-xfixes0-dev
  libturbojpeg0-dev libjpeg-turbo-progs
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb openbox x11-utils xdotool ffmpeg imagemagick xcompmgr
  gstreamer1.0-tools gstreamer1.0-plugins-good
  tigervnc-standalone-server x11-xserver-utils
  clang libclang-rt-14-dev
  dpkg-dev desktop-file-utils
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
