#!/usr/bin/env bash
# Builds the release program and the benchmark, and runs it on a virtual 1024x768 screen; the
# Windows build's loader is measured under Wine too (its prefix is made once, in build/bench).
# Results: the tables on standard output, build/bench/results.json, (the high-DPI step)
# build/bench/results-scale2.json and (a key to the end on a slow drive) key-to-end-*.json.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release
cmake --preset windows-x64-release >/dev/null
cmake --build --preset windows-x64-release --target wic_bench quildor_scr
# The Wine loader and server found when that build was configured (the 64-bit loader itself, not
# Debian's wine command, which needs 32-bit execution).
set -a
. build/windows-x64-release/wine.env
set +a
export WINEPREFIX=$PWD/build/bench/wine
[ -f "$WINEPREFIX/system.reg" ] || tests/e2e/wine-prefix-init "$WINEPREFIX"
tests/e2e/with-xvfb 1024x768 build/linux-release/slide_bench build/linux-release/quildor build/bench \
  tests/e2e/wine-run build/windows-x64-release/wic_bench.exe
# The step on a high-DPI screen: 2048 x 1536 at scale 2, which counts as 1024 x 768.
QT_SCALE_FACTOR=2 QUILDOR_BENCH_SCALE=2 tests/e2e/with-xvfb 2048x1536 \
  build/linux-release/slide_bench build/linux-release/quildor build/bench
# The user's figure: from a key to the end of the process while a photograph loads from a slow
# drive (the tests' FUSE file system), beside the same on a local folder; Linux, then the Windows
# build under Wine. Results: build/bench/key-to-end-linux.json and key-to-end-wine.json.
cc -O1 -o build/bench/slow_drive tests/slow_drive.c $(pkg-config --cflags --libs fuse3)
export LC_ALL=C.UTF-8 QUILDOR_SLOW_DRIVE=$PWD/build/bench/slow_drive
QUILDOR_KIND=linux QUILDOR_EXE=$PWD/build/linux-release/quildor \
  python3 bench/key_to_end.py 5 build/bench/key-to-end-linux.json
QUILDOR_KIND=wine QUILDOR_EXE=$PWD/build/windows-x64-release/Quildor.scr \
  python3 bench/key_to_end.py 5 build/bench/key-to-end-wine.json
