#!/usr/bin/env python3
"""ctest-summary.py RESULTS.xml: sums up one CTest run from its JUnit file (ctest --output-junit).

Prints "PASSED FAILED SKIPPED" on the first line, then one line per reason for a skip: the reason,
a tab, and the names of the tests skipped for it. A test counts as skipped only when CTest's own
skip mechanism (SKIP_RETURN_CODE or SKIP_REGULAR_EXPRESSION) reported it; the reason is the first
line of its output. Any other test that did not pass counts as failed."""
import sys
import xml.etree.ElementTree as ET


def main(path):
    passed = failed = 0
    reasons = {}
    for case in ET.parse(path).getroot().iter("testcase"):
        status = case.get("status")
        skip = case.find("skipped")
        if status == "run":
            passed += 1
        elif skip is not None and skip.get("message", "").startswith("SKIP_"):
            out = (case.findtext("system-out") or "").strip().splitlines()
            reason = out[0] if out else "no reason given"
            reason = reason[len("skipped: "):] if reason.startswith("skipped: ") else reason
            reasons.setdefault(reason, []).append(case.get("name"))
        else:
            failed += 1
    print(passed, failed, sum(len(names) for names in reasons.values()))
    for reason, names in reasons.items():
        print("%s\t%s" % (reason.replace("\t", " "), ", ".join(names)))


if __name__ == "__main__":
    main(sys.argv[1])
