#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a higher floor.

The floors, from the bottom: platform and display (which know nothing of
each other), runtime, ui, data, phone, forms, app. A file may include
headers of its own folder and of the floors below it.
Usage: scripts/check-includes.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

FLOORS = [{"platform", "display"}, {"runtime"}, {"ui"}, {"data"}, {"phone"}, {"forms"}, {"app"}]
FLOOR = {folder: n for n, folders in enumerate(FLOORS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def upward_includes(src):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in FLOOR:
            yield f"{path}: src/{folder} is on no floor"
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in FLOOR or match.group(1) == folder:
                continue
            target = match.group(1)
            if FLOOR[target] >= FLOOR[folder]:
                yield f"{path}:{number}: src/{folder} includes {target}/, which is not below it"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    problems = list(upward_includes(root / "src"))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
