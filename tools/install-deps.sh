#!/usr/bin/env bash
# Installs, from Debian's packages, everything that building, running and testing Quildor needs.
# Safe to run again: it installs only what is missing and asks apt nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libxcb1-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 wine32:i386
  xvfb xdotool x11-utils imagemagick libjpeg-turbo-progs xscreensaver procps
  dpkg-dev file xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  dbus-daemon at-spi2-core python3-pyatspi nsis
  sway xwayland swayidle grim wtype qt6-wayland libwayland-dev
  fonts-liberation fonts-dejavu-core
  libgtest-dev googletest libbenchmark-dev libturbojpeg0-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
