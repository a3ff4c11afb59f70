#!/usr/bin/env python3
"""Runs the program at a path with its arguments: GN runs actions through a
script. The path is a path even without a folder, never looked up on the
PATH."""

import os
import subprocess
import sys

sys.exit(subprocess.call([os.path.abspath(sys.argv[1])] + sys.argv[2:]))
