#!/usr/bin/env bash
# make-screenshot.sh PROGRAM OUT.png: a screenshot of the slide show for software centres, taken
# from PROGRAM itself on a virtual 1024 x 768 screen (Xvfb) with the sample photographs: the
# first photograph of the folder with its caption. The PNG holds no time of its own.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PROGRAM OUT.png" >&2; exit 2; }
here=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "$1")
mkdir -p "$(dirname "$2")"
out=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cat >"$work/config/SCRNSAVE: The Quildor Anthology.ini" <<INI
[Settings]
Interval=1
QuildorsDir=$here/samples/QUILDORS/
INI
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QUILDOR_EVENT_LOG=$work/events
export PROGRAM=$program OUT=$out EVENTS=$work/events
"$here/tests/e2e/with-xvfb" 1024x768 bash -c '
  "$PROGRAM" /s &
  pid=$!
  # The first tick loads the first photograph, which then stays for two more ticks: the tick
  # after its load finds it painted, with a tick to spare (waiting at most a minute, on a busy
  # machine).
  painted() {
    awk "/Form1 Timer1 LoadComplete/ {loaded = 1} loaded && /Form1 Timer1 Timer/ {found = 1}
         END {exit !found}" "$EVENTS" 2>/dev/null
  }
  for _ in $(seq 600); do
    painted && break
    if ! kill -0 $pid 2>/dev/null; then
      echo "make-screenshot: the slide show ended before its first photograph" >&2
      exit 1
    fi
    sleep 0.1
  done
  if ! painted; then
    echo "make-screenshot: no photograph was painted within a minute" >&2
    kill $pid
    exit 1
  fi
  import -window root -strip "$OUT"
  kill $pid
  wait $pid 2>/dev/null
  true'
[ -s "$out" ] || { echo "make-screenshot: no screenshot was taken" >&2; exit 1; }
