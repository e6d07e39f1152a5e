#!/usr/bin/env bash
# Builds the Linux program and both Windows builds, and runs every test of each: unit tests, the
# Qt backend under Xvfb, the Win32 backend and both Windows builds under Wine, and the end-to-end
# tests; then the unit and backend tests again under AddressSanitizer and UndefinedBehavior-
# Sanitizer, with a minute of fuzzing of the picture loader. Each build's tests run through CTest;
# the last line sums them all up.
set -uo pipefail
cd "$(dirname "$0")/.."
presets=(linux linux-sanitize windows-x64 windows-x86)
passed=0
failed=0
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
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  [ "$rc" -ne 0 ] && status=1
  # "100% tests passed, 0 tests failed out of 5"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
  else
    failed=$((failed + 1))
    status=1
  fi
  rm -f "$log"
done
echo
echo "total: $passed passed, $failed failed"
exit $status
