#!/usr/bin/env bash
# Builds the Linux program and runs the slide show on the sample photographs, with settings of its
# own (build/run/config) so that a user's own settings are never touched. Without a display it
# runs on a virtual one (Xvfb) for a few seconds and leaves screenshots in build/run/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux-app >/dev/null
cmake --build --preset linux-app
run=$PWD/build/run
rm -rf "$run"
mkdir -p "$run/config" "$run/runtime"
chmod 700 "$run/runtime"
cat >"$run/config/SCRNSAVE: The Quildor Anthology.ini" <<INI
[Settings]
Interval=2
QuildorsDir=$PWD/samples/QUILDORS/
INI
export XDG_CONFIG_HOME=$run/config XDG_RUNTIME_DIR=$run/runtime
if [ -n "${DISPLAY:-}" ]; then
  echo "Running the slide show (any key, a click or moving the mouse ends it)."
  exec build/linux-app/quildor /s
fi
echo "No display: running the slide show on a virtual 1024x768 screen for 9 seconds."
tools/../tests/e2e/with-xvfb 1024x768 bash -c '
  build/linux-app/quildor /s &
  pid=$!
  for i in 1 2 3 4; do
    sleep 2
    import -window root "'"$run"'/screenshot-$i.png"
  done
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  true'
echo "Screenshots of the run are in build/run/: $(cd "$run" && ls screenshot-*.png | tr '\n' ' ')"
