#!/usr/bin/env bash
# Builds the Linux programs and both Windows builds as they ship (no tests, no benchmark: the
# package-* presets), then the packages a user installs: through CPack the Debian package and the
# Windows zip (both Quildor.scr files, one folder per architecture, the text on installing them,
# the licence and the notices of the runtime linked into Quildor.scr), and with NSIS the Windows
# setup program (the same files; it installs the Quildor.scr that matches Windows). Last, a
# screenshot of the slide show for software centres. All end up in build/packages/.
#
# One commit gives the same packages wherever and whenever it is built: every time recorded in
# them is SOURCE_DATE_EPOCH, the commit's time unless the caller sets it (tools/check-
# reproducible.sh builds twice and compares).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
    echo "package: not a git checkout, so there is no commit time: set SOURCE_DATE_EPOCH" >&2
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH
for preset in package-linux package-windows-x86 package-windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
out=build/packages
rm -rf "$out"
mkdir -p "$out"
(cd build/package-linux && cpack >/dev/null)
if grep -q "^MISSING: " build/package-windows-x64/NOTICES.txt; then
  echo "package: the notices of the runtime in Quildor.scr are incomplete (see NOTICES.txt):" \
       "the Windows packages would carry code without its notices" >&2
  exit 1
fi
(cd build/package-windows-x64 && cpack >/dev/null)
cp build/package-linux/quildor_*.deb build/package-windows-x64/quildor-*-windows.zip "$out/"
tools/normalise-zip.py "$out"/quildor-*-windows.zip
packaging/windows/make-setup "$out" build/package-windows-x64/Quildor.scr \
  build/package-windows-x86/Quildor.scr build/package-windows-x64/LICENSE.txt \
  build/package-windows-x64/NOTICES.txt >/dev/null
tools/make-screenshot.sh build/package-linux/quildor "$out/screenshots/slide-show.png"
echo "Packages:"
find "$out" -type f | sort
