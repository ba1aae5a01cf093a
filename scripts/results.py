#!/usr/bin/env python3
"""The test command's verdict, read from what each stage wrote itself.

    results.py STAGES SKIPS
    results.py --count RESULTS

STAGES: a line per stage: name, exit status, seconds, and the JUnit file it
wrote, or a directory of them ("-" for a stage without tests, such as a
build). SKIPS: the skips
that may occur (tests/skips.txt). Prints each stage's counts and failures,
then "N passed, M failed, K skipped"; exits 1 unless M is 0. A stage that
failed, wrote no results or ran no test counts as one failure, and so does
each skip that SKIPS does not declare. With --count, prints only the
"N passed, M failed, K skipped" of the JUnit files RESULTS names.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET


def outcomes(junit):
    """(name, outcome, message) for each test case of a JUnit file, or of
    every *.xml file of a directory. A case named without its suite (as
    GoogleTest's own files name them) gets the suite's name in front."""
    files = [junit]
    if os.path.isdir(junit):
        files = sorted(os.path.join(junit, f) for f in os.listdir(junit) if f.endswith(".xml"))
    cases = [case for f in files for case in ET.parse(f).iter("testcase")]
    for case in cases:
        name = case.get("name")
        if "." not in name and case.get("classname"):
            name = f"{case.get('classname')}.{name}"
        failure, skipped = case.find("failure"), case.find("skipped")
        if failure is not None or case.get("status") == "fail":
            yield name, "failed", "" if failure is None else failure.get("message", "")
        elif skipped is not None or case.get("status") in ("notrun", "disabled"):
            yield name, "skipped", ""
        else:
            yield name, "passed", ""


def main(stages_path, skips_path):
    with open(skips_path, encoding="utf-8") as lines:
        skips = [line.split(None, 2)[:2] for line in lines if line.strip() and line[0] != "#"]
    with open(stages_path, encoding="utf-8") as lines:
        stages = [line.split() for line in lines if line.strip()]
    totals = dict.fromkeys(("passed", "failed", "skipped"), 0)
    for name, status, seconds, junit in stages:
        counts = dict.fromkeys(totals, 0)
        problems = []  # the stage's own failures, beside its tests'
        if junit != "-":
            try:
                for test, outcome, message in outcomes(junit):
                    if outcome == "skipped" and not any(
                        stage == name and re.fullmatch(pattern, test) for stage, pattern in skips
                    ):
                        outcome, message = "failed", "skipped, and tests/skips.txt does not declare it"
                    counts[outcome] += 1
                    if outcome == "failed":
                        print(f"  FAILED {name}: {test}: {message}")
            except (OSError, ET.ParseError) as error:
                problems.append(f"no results: {error}")
            if not problems and sum(counts.values()) == 0:
                problems.append("ran no test")
        if status != "0" and counts["failed"] == 0 and not problems:
            problems.append(f"exited with status {status}")
        for problem in problems:
            print(f"  FAILED {name}: {problem}")
        counts["failed"] += len(problems)
        for key in totals:
            totals[key] += counts[key]
        print(f"{name}: {counts['passed']} passed, {counts['failed']} failed, "
              f"{counts['skipped']} skipped ({seconds} s)")
    print(f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped")
    return 0 if totals["failed"] == 0 else 1


def count(junit):
    totals = dict.fromkeys(("passed", "failed", "skipped"), 0)
    for _, outcome, _ in outcomes(junit):
        totals[outcome] += 1
    print(f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped")


if __name__ == "__main__":
    if sys.argv[1] == "--count":
        sys.exit(count(sys.argv[2]))
    sys.exit(main(*sys.argv[1:]))
