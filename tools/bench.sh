#!/usr/bin/env bash
# Builds the release program and the benchmark, and runs it on a virtual 1024x768 screen.
# Results: the table on standard output and build/bench/results.json.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release
tests/e2e/with-xvfb 1024x768 build/linux-release/slide_bench build/linux-release/quildor build/bench
