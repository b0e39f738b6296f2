#!/usr/bin/env bash
# Installs everything the build, the run commands and the tests need from
# Debian 12's packages, each named here (scripts/check_setup.py, the test
# setup.packages, fails on a package the tree uses that this list lacks).
# Safe to run again: apt skips what is already there.
set -euo pipefail

packages=(
  build-essential libtsan2 cmake ninja-build ccache pkg-config file python3 procps git
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64 nsis
  wine wine64
  xvfb x11-utils xdotool imagemagick dbus
  xfce4-panel
  pulseaudio pulseaudio-utils pipewire wireplumber pipewire-pulse
  libhidapi-dev libudev-dev libpulse-dev libsystemd-dev
  lintian desktop-file-utils udev systemd
  fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "setup: installed ${missing[*]}"
