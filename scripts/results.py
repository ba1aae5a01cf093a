#!/usr/bin/env python3
"""The test command's verdict, read from what each stage itself wrote.

    results.py STAGES SKIPS

STAGES has one line per stage: its name, exit status, seconds taken, and the
JUnit file it wrote, or "-" for a stage that runs no tests (a build). SKIPS
declares the skips that may occur (tests/skips.txt). Prints each stage's
counts and every failure and undeclared skip, then the closing line
"N passed, M failed, K skipped", and exits 1 unless M is 0. A stage that
failed, wrote no results or ran no test counts as one failure; so does a
skip that SKIPS does not declare.
"""
import re
import sys
import xml.etree.ElementTree as ET


def declared_skips(path):
    skips = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            if line.strip() and not line.startswith("#"):
                stage, pattern, _reason = line.split(None, 2)
                skips.append((stage, re.compile(pattern)))
    return skips


def outcomes(junit):
    """(name, outcome, message) for each test case of a JUnit file."""
    for case in ET.parse(junit).iter("testcase"):
        name, status = case.get("name"), case.get("status", "run")
        failure, skipped = case.find("failure"), case.find("skipped")
        if failure is not None or status == "fail":
            yield name, "failed", failure.get("message", "") if failure is not None else ""
        elif skipped is not None or status in ("notrun", "disabled"):
            yield name, "skipped", skipped.get("message", "") if skipped is not None else status
        else:
            yield name, "passed", ""


def main(stages_path, skips_path):
    skips = declared_skips(skips_path)
    totals = {"passed": 0, "failed": 0, "skipped": 0}
    with open(stages_path, encoding="utf-8") as lines:
        stages = [line.split() for line in lines if line.strip()]
    for name, status, seconds, junit in stages:
        counts = {"passed": 0, "failed": 0, "skipped": 0}
        problems = []
        if junit == "-":
            if status != "0":
                problems.append(f"exited with status {status}")
        else:
            try:
                for test, outcome, message in outcomes(junit):
                    if outcome == "skipped" and not any(
                        stage == name and pattern.fullmatch(test) for stage, pattern in skips
                    ):
                        outcome = "failed"
                        message = f"skipped, and no such skip is declared: {message}"
                    counts[outcome] += 1
                    if outcome == "failed":
                        problems.append(f"{test}: {message}")
            except (OSError, ET.ParseError) as error:
                problems.append(f"no results: {error}")
            if sum(counts.values()) == 0 and not problems:
                problems.append("ran no test")
            if status != "0" and counts["failed"] == 0 and not problems:
                problems.append(f"exited with status {status}, yet no test failed")
        # A stage's own failure counts once beside its tests' failures.
        extra = len(problems) - counts["failed"]
        counts["failed"] += max(extra, 0)
        for key in totals:
            totals[key] += counts[key]
        print(f"{name}: {counts['passed']} passed, {counts['failed']} failed, "
              f"{counts['skipped']} skipped ({seconds} s)")
        for problem in problems:
            print(f"  FAILED {problem}")
    print(f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped")
    return 0 if totals["failed"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
