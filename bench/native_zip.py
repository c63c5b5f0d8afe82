#!/usr/bin/env python3
"""Runs Debian's `zip -6 -r -q ARCHIVE NAME` in PARENT and writes to RESULT
"<seconds> <peak resident KiB> <exit code>" of zip alone: the yardstick of the archive
measure, started from the bench under Wine through `start /unix`."""
import os
import resource
import subprocess
import sys
import time

parent, name, archive, result = sys.argv[1:5]
start = time.perf_counter()
code = subprocess.run(["zip", "-6", "-r", "-q", archive, name], cwd=parent).returncode
seconds = time.perf_counter() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
# Whole or not at all: the bench waits for this file to appear.
with open(result + ".part", "w") as out:
    out.write(f"{seconds:.6f} {peak} {code}\n")
os.replace(result + ".part", result)
sys.exit(code)
