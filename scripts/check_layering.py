#!/usr/bin/env python3
"""Checks that every include of the engine points down the data flow.

Each top-level folder of engine/ has a level. A unit may include units of its
own folder and of folders of a lower level; an include of a folder of a higher
level, or of another folder of the same level, is reported as
    file:line: includes folder/... (level N) from folder (level M)
and the script exits with status 1. A folder missing from the table is
reported too, so that a new folder gets its level when it is added.

Usage: check_layering.py [ENGINE_DIR]   (default: the engine/ beside scripts/)
"""

import pathlib
import re
import sys

# The order of the engine's folders, lowest first. A new folder is one line.
LEVELS = {
    "scan": 0,       # byte routines, the kernel table and the kernels' answers
    "input": 1,      # bytes in: files, pipes, gzip, read-ahead, lines
    "output": 1,     # bytes out: the output file
    "lookalike": 1,  # text matching
    "extraction": 2, # what every extractor works with: settings, filter, batch, contract, texts
    "layouts": 3,    # each layout's rules and extractors
    "run": 4,        # the worker, setup, headless run, progress, the batch loop
    "compare": 5,    # comparing two zone files
    "count": 5,      # counting runs
    "zones": 6,      # many zone files per run
}

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inl"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(relative: pathlib.PurePath) -> str:
    # Files directly in engine/ belong to no folder and may include anything.
    return relative.parts[0] if len(relative.parts) > 1 else ""


def check(engine: pathlib.Path) -> list[str]:
    problems = []
    for path in sorted(engine.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(engine)
        own = folder_of(relative)
        if own == "":
            continue
        shown = pathlib.PurePosixPath("engine", *relative.parts)
        if own not in LEVELS:
            problems.append(f"{shown}:1: folder {own} has no level in scripts/check_layering.py")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match:
                continue
            included = pathlib.PurePosixPath(match.group(1))
            if len(included.parts) < 2:
                continue  # a file of the same folder, named without its folder
            other = included.parts[0]
            if other == own or other not in LEVELS:
                continue  # within the folder, or not an engine folder
            if LEVELS[other] >= LEVELS[own]:
                problems.append(
                    f"{shown}:{number}: includes {other}/{'/'.join(included.parts[1:])} "
                    f"(level {LEVELS[other]}) from {own} (level {LEVELS[own]})")
    return problems


def main(argv: list[str]) -> int:
    engine = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "engine"
    if not engine.is_dir():
        print(f"{engine}: no such folder", file=sys.stderr)
        return 2
    problems = check(engine)
    for problem in problems:
        print(problem)
    sys.stdout.flush()
    if problems:
        print(f"{len(problems)} include(s) point up or sideways", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
