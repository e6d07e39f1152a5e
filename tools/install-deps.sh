#!/usr/bin/env bash
# tools/install-deps.sh [run|all]
# Installs, from Debian's packages, what Quildor needs on Debian 12 (bookworm) or 13 (trixie),
# x86-64, starting from a minimal system (debootstrap's minbase with git and make):
#   run  building the Linux program and showing the slide show (make run)
#   all  that, and everything the tests, the benchmark and the packages need (the default)
# Package names exist on both releases: unversioned names wherever Debian has one, never a
# compiler's version. Safe to run again: it installs only what is missing and asks apt nothing
# when all is there. It never removes or upgrades a package.
set -euo pipefail

set_name=${1:-all}

# Building and running the Linux program (the X server's DPMS extension, which tells whether the
# displays are off) and its idle watcher (the Wayland idle protocols' XML and scanner, the X
# server's SYNC extension); Xvfb and ImageMagick for `make run` without a display.
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libxcb1-dev libxcb-dpms0-dev libjpeg-dev
  libwayland-dev wayland-protocols plasma-wayland-protocols libxcb-sync-dev
  xvfb xauth imagemagick
  fonts-liberation fonts-dejavu-core
)
# The tests (the sanitizer build uses Clang and its runtime), the Windows builds under Wine, the
# other display servers and desktops the end-to-end tests run on (GNOME Shell with GNOME's session
# manager and screen-saver service, kwin with Plasma's power management), the slow drive they read
# photographs from (FUSE), the benchmark and the packages, with what checks them as a
# distribution does (lintian, hardening-check from devscripts, AppStream's and the desktop
# entries' validators, 7-Zip to read the setup program).
test_packages=(
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 wine32:i386
  xdotool x11-utils x11-xserver-utils libjpeg-turbo-progs xscreensaver procps
  dpkg-dev file xserver-xorg-core xserver-xorg-video-dummy
  dbus-daemon at-spi2-core python3-pyatspi python3-dbus nsis
  sway xwayland swayidle grim wtype qt6-wayland
  weston kwin-wayland mutter
  gnome-shell gnome-session-bin gnome-settings-daemon powerdevil
  libgtest-dev googletest libbenchmark-dev libturbojpeg0-dev
  fuse3 libfuse3-dev
  lintian devscripts appstream desktop-file-utils 7zip
  python3
)
# Debian 12's Plasma power management is built with Qt 5, whose Wayland plugin is a package of
# its own (Debian 13's uses Qt 6's, above).
if [ "$(. /etc/os-release && echo "${VERSION_ID:-}")" = 12 ]; then
  test_packages+=(qtwayland5)
fi

case $set_name in
  run) packages=("${run_packages[@]}") ;;
  all) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|all]" >&2; exit 2 ;;
esac

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
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then; the lists it did fetch still serve, and
# the install below says plainly if a package is then missing.
$SUDO apt-get update -qq || echo "install-deps: some package lists could not be refreshed; going on with those apt has" >&2
# apt's own progress is not wanted; its errors are, with the log of the step that failed.
log=$(mktemp)
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
