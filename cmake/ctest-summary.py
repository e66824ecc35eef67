#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Reads the JUnit file of one ctest run (ctest --output-junit) for ./dev.

    ctest-summary.py JUNIT.xml --skips   one line per skipped test: its name and its reason
    ctest-summary.py JUNIT.xml --counts  "P passed, S skipped, F failed" (only what is non-zero)

A test counts as skipped only when it asked to be (its SKIP_RETURN_CODE): ctest also writes
tests it did not start because a test they depend on failed as "skipped", and those count as
failed here.
"""
import sys
import xml.etree.ElementTree as ET


def classify(case):
    skipped = case.find("skipped")
    if case.find("failure") is not None or case.get("status") == "fail":
        return "failed"
    if skipped is not None:
        return "skipped" if skipped.get("message", "").startswith("SKIP_") else "failed"
    return "passed"


def reason(case):
    lines = [line.strip() for line in (case.findtext("system-out") or "").splitlines()]
    lines = [line for line in lines if line]
    return lines[-1] if lines else "(no reason given)"


def main():
    path, what = sys.argv[1], sys.argv[2]
    cases = list(ET.parse(path).getroot().iter("testcase"))
    if what == "--skips":
        for case in cases:
            if classify(case) == "skipped":
                print(f"  SKIPPED {case.get('name')}: {reason(case)}")
        return 0
    counts = {"passed": 0, "skipped": 0, "failed": 0}
    for case in cases:
        counts[classify(case)] += 1
    parts = [f"{n} {kind}" for kind, n in counts.items() if n]
    print(", ".join(parts) if parts else "no tests")
    return 0


if __name__ == "__main__":
    sys.exit(main())
