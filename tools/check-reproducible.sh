#!/usr/bin/env bash
# make check-reproducible: builds the packages of the committed HEAD twice, from two clones in
# folders of different names and depths, one after the other, and compares what ships: the
# Debian package, the Windows zip and setup program, both Quildor.scr files and both Linux
# programs must be bit for bit the same. Prints each file's SHA-256 of both builds; exits 1 when
# any differs (naming it), 0 when all are the same.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quildor-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$work/a/quildor
second=$work/another/folder/q
for dir in "$first" "$second"; do
  git clone -q --no-hardlinks "$repo" "$dir"
  echo "=== building the packages in $dir"
  (cd "$dir" && tools/package.sh >"$dir.log" 2>&1) || { tail -n 30 "$dir.log"; exit 1; }
done
files=(
  build/packages/quildor_*_amd64.deb
  build/packages/quildor-*-windows.zip
  build/packages/quildor-*-setup.exe
  build/package-windows-x64/Quildor.scr
  build/package-windows-x86/Quildor.scr
  build/package-linux/quildor
  build/package-linux/quildor-idle
)
status=0
for pattern in "${files[@]}"; do
  # The names are the same in both builds (the version is the commit's).
  name=$(cd "$first" && echo $pattern)
  a=$(sha256sum "$first/$name" | cut -d' ' -f1)
  b=$(sha256sum "$second/$name" | cut -d' ' -f1)
  if [ "$a" = "$b" ]; then
    echo "same      $a  $name"
  else
    echo "DIFFERENT $a  $name"
    echo "          $b  (the second build)"
    status=1
  fi
done
if [ $status -eq 0 ]; then
  echo "reproducible: both builds gave the same files"
else
  echo "not reproducible: the files marked DIFFERENT differ between the two builds"
fi
exit $status
