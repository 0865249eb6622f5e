#!/usr/bin/env python3
"""Fails when a code excerpt of docs/guide.md is not, line for line, in one of the guide's step
programs: the guide quotes the programs the tests run, so an excerpt that drifted from them
teaches code that no longer exists."""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def main():
    guide = (ROOT / "docs" / "guide.md").read_text()
    steps = [p.read_text() for p in sorted((ROOT / "examples" / "guide").glob("step*/main.cpp"))]
    stale = []
    for excerpt in re.findall(r"```cpp\n(.*?)```", guide, re.S):
        lines = [line.strip() for line in excerpt.strip().split("\n") if line.strip()]
        if not any(all(line in step for line in lines) for step in steps):
            stale.append(next((l for l in lines if not any(l in s for s in steps)), lines[0]))
    for line in stale:
        print("docs/guide.md quotes a line no step has: " + line, file=sys.stderr)
    return 1 if stale or not steps else 0


if __name__ == "__main__":
    sys.exit(main())
