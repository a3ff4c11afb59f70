#!/usr/bin/env python3
"""Runs the program at a path with its arguments: GN runs actions through a
script. The path is a path even without a folder, never looked up on the
PATH.

    run_program.py [--needs VERSION] PROGRAM [ARGUMENTS...]

With --needs, which pelkaforge.gni gives for a prebuilt program, it first
asks the program's --version and stops unless that reports
"pelkaforge-image VERSION" or a later release: an older program would print
its usage line for an option it does not know, or, 1.0.0, read a .hex file's
text as raw bytes without a word."""

import os
import re
import subprocess
import sys


def release(text):
    """X.Y.Z as numbers, to compare."""
    return tuple(int(part) for part in text.split("."))


def version_line(program):
    """The first line of what PROGRAM --version prints on either stream, or
    None when it cannot run or fails (its own words are left out: the
    message says what is wrong)."""
    try:
        run = subprocess.run([program, "--version"], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, check=False)
    except OSError:
        return None
    if run.returncode != 0:
        return None
    said = run.stdout.decode("utf-8", "replace").splitlines()
    return said[0] if said else ""


def main(arguments):
    needs = None
    if arguments[:1] == ["--needs"]:
        needs, arguments = arguments[1], arguments[2:]
    program = os.path.abspath(arguments[0])
    if needs is not None:
        line = version_line(program)
        found = re.fullmatch(r"pelkaforge-image (\d+\.\d+\.\d+)", line or "")
        if line is None or not found or release(found.group(1)) < release(needs):
            said = ("its --version fails" if line is None
                    else f'its --version says "{line}"')
            sys.stderr.write(f"Unable to use {program} (pelkaforge-image "
                             f"{needs} or later is needed, and {said})\n")
            return 1
    return subprocess.call([program] + arguments[1:])


sys.exit(main(sys.argv[1:]))
