#!/usr/bin/env bash
# Builds the Linux program and both Windows builds, and runs every test of each: unit tests, the
# Qt backend under Xvfb, the Win32 backend and both Windows builds under Wine, and the end-to-end
# tests; then the unit and backend tests again under AddressSanitizer and UndefinedBehavior-
# Sanitizer, with a minute of fuzzing of the picture loader. Each build's tests run through CTest;
# the last lines name every skipped group with its reason and sum all of them up. A test is
# counted as skipped only when CTest's own skip mechanism reported it; one that did not run for
# any other reason (a failed set-up, a time-out) counts as failed. Every process a test starts
# must end with it: whatever the tests leave running is listed and ended (tools/reap), and the
# last lines say how many there were; any at all is a failure.
set -uo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
left_behind=$PWD/build/left-behind.txt
: >"$left_behind"
# The 32-bit build comes before the 64-bit one, whose tests make the setup program from both.
presets=(linux linux-sanitize windows-x86 windows-x64)
passed=0
failed=0
skipped=0
skips=()
status=0
for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "=== $preset: build failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  echo "=== $preset: tests"
  junit=build/$preset/ctest-results.xml
  rm -f "$junit"
  python3 tools/reap "$left_behind" ctest --preset "$preset" --output-junit "$PWD/$junit"
  [ $? -ne 0 ] && status=1
  # One line of counts, then one line per skip reason: "reason<TAB>test test ...".
  if ! summary=$(python3 tools/ctest-summary.py "$junit"); then
    echo "=== $preset: no test results"
    failed=$((failed + 1))
    status=1
    continue
  fi
  read -r p f s <<<"$(head -n1 <<<"$summary")"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
  while IFS=$'\t' read -r reason tests; do
    [ -n "$reason" ] && skips+=("$preset: $tests: $reason")
  done < <(tail -n +2 <<<"$summary")
done
echo
for line in "${skips[@]}"; do
  echo "skipped $line"
done
left=$(wc -l <"$left_behind")
while read -r line; do
  echo "left running by the tests, ended: $line"
done <"$left_behind"
echo "processes the tests left running: $left"
if [ "$left" -ne 0 ]; then
  status=1
  failed=$((failed + 1))
fi
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status
