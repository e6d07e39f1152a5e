#!/usr/bin/env python3
"""The user's figure of a screen saver on a slow drive: milliseconds from a key to the end of the
process, with the photograph folder local and on a slow drive (the tests' FUSE file system:
a file's first bytes come after 2 s, then 150 KB/s) while a photograph loads from it. The median of
RUNS runs each; one line per case, and the figures as JSON in OUT_JSON.

Usage: key_to_end.py RUNS OUT_JSON, with the end-to-end tests' environment: QUILDOR_KIND (linux
or wine), QUILDOR_EXE, QUILDOR_SLOW_DRIVE, and for Wine WINELOADER, WINESERVER and WINEPREFIX."""
import json
import os
import statistics
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from harness import KIND  # noqa: E402
from test_slow_drive import Drive, SAMPLES, SLOW, SlowDrive, fuse_missing  # noqa: E402


def main():
    runs, out = int(sys.argv[1]), sys.argv[2]
    why = fuse_missing()
    if why:
        print("key to end: not measured (%s)" % why)
        return 0
    # The test's own measurement, run as a benchmark: its assertions guard the figure's sense.
    measure = SlowDrive("test_a_key_while_a_photograph_loads_ends_the_show_as_on_a_local_folder")
    local = [measure.key_to_end_ms(os.path.join(SAMPLES, "QUILDORS"), loading=False)
             for _ in range(runs)]
    slow = []
    for _ in range(runs):
        # A drive of its own for each run: libfuse may hand the interrupt of an earlier run's
        # read, ended with its process, to a later request, which would then fail.
        with Drive(SLOW) as drive:
            slow.append(measure.key_to_end_ms(drive.folder, loading=True))
    figures = {"kind": KIND, "runs": runs, "local_ms": statistics.median(local),
               "slow_drive_ms": statistics.median(slow), "slow_drive_max_ms": max(slow)}
    print("%-8s key to end, local folder %8.1f ms   slow drive, while loading %8.1f ms (max %.1f)"
          % (KIND, figures["local_ms"], figures["slow_drive_ms"], figures["slow_drive_max_ms"]))
    with open(out, "w", encoding="utf-8") as f:
        json.dump(figures, f, indent=1)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except unittest.SkipTest as skip:
        print("key to end: not measured (%s)" % skip)
