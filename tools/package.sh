#!/usr/bin/env bash
# Builds the Linux program and both Windows builds, then the packages a user installs: through
# CPack the Debian package (from the Linux build) and the Windows zip (both Quildor.scr files,
# one folder per architecture, and a text on installing them), and with NSIS the Windows setup
# program (both Quildor.scr files; it installs the one that matches Windows). All end up in
# build/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in linux windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
mkdir -p build/packages
(cd build/linux && cpack)
(cd build/windows-x64 && cpack)
cp build/linux/quildor_*.deb build/windows-x64/quildor-*-windows.zip build/packages/
packaging/windows/make-setup build/packages build/windows-x64/Quildor.scr \
  build/windows-x86/Quildor.scr >/dev/null
echo "Packages:"
ls -1 build/packages/*
