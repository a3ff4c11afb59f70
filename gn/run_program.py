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


def ask_version(program):
    """(whether PROGRAM --version ran and succeeded, what it printed on
    either stream: a program that fails says nothing of its own)."""
    try:
        run = subprocess.run([program, "--version"], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, check=False)
    except OSError as error:
        return False, error.strerror or str(error)
    return run.returncode == 0, run.stdout.decode("utf-8", "replace")


def main(arguments):
    needs = None
    if arguments[:1] == ["--needs"]:
        needs, arguments = arguments[1], arguments[2:]
    program = os.path.abspath(arguments[0])
    if needs is not None:
        succeeded, said = ask_version(program)
        found = re.fullmatch(r"pelkaforge-image (\d+\.\d+\.\d+)",
                             (said.splitlines() or [""])[0])
        if not succeeded or not found or release(found.group(1)) < release(needs):
            # In the words the other helpers use.
            sys.stderr.write(
                f"pelkaforge-image {needs} or later needed: {program} --version "
                f'printed "{" ".join(said.split()[:8])}"'
                f'{"" if succeeded else " and failed"}. Install Pelkaforge '
                f"{needs} or later, or name the program: "
                f'pelkaforge_image_program = "/path/to/pelkaforge-image"\n')
            return 1
    return subprocess.call([program] + arguments[1:])


sys.exit(main(sys.argv[1:]))
