#!/usr/bin/env python3
"""Reads an archive with two independent readers and compares it with the folder it was made of.

check_zip.py ARCHIVE FOLDER [--zip64]
Python's zipfile: testzip, every member's bytes equal to its file, the UTF-8 flag, the DOS time
of every file in local time; 7-Zip: `7z t` and the names of `7z l -slt`. With --zip64 the
archive must hold ZIP64 end records. Exit 0 when all holds; the first fault on stderr otherwise.
"""
import os
import subprocess
import sys
import time
import zipfile


def fail(message):
    print("check_zip: " + message, file=sys.stderr)
    sys.exit(1)


archive, folder = sys.argv[1], sys.argv[2]
zip64 = "--zip64" in sys.argv[3:]
top = os.path.basename(folder.rstrip("/"))
parent = os.path.dirname(folder.rstrip("/"))

expected = {top + "/"}
for root, dirs, files in os.walk(folder):
    rel = os.path.relpath(root, parent)
    for d in dirs:
        expected.add(rel + "/" + d + "/")
    for f in files:
        expected.add(rel + "/" + f)

with zipfile.ZipFile(archive) as z:
    bad = z.testzip()
    if bad is not None:
        fail("testzip: " + bad)
    names = {info.filename for info in z.infolist()}
    if names != expected:
        fail("members %r, files %r" % (sorted(names ^ expected), sorted(expected)))
    for info in z.infolist():
        if not info.flag_bits & 0x800:
            fail("no UTF-8 flag: " + info.filename)
        if info.is_dir():
            continue
        path = os.path.join(parent, info.filename)
        with open(path, "rb") as f:
            if z.read(info) != f.read():
                fail("bytes differ: " + info.filename)
        local = time.localtime(os.stat(path).st_mtime)
        wanted = local[:5] + (local.tm_sec // 2 * 2,)
        if info.date_time != wanted:
            fail("time %r, file %r: %s" % (info.date_time, wanted, info.filename))

with open(archive, "rb") as f:
    data = f.read()
if zip64 != (b"PK\x06\x06" in data and b"PK\x06\x07" in data):
    fail("ZIP64 end records %s" % ("missing" if zip64 else "where none are needed"))

if subprocess.run(["7z", "t", archive], capture_output=True).returncode != 0:
    fail("7z t")
listing = subprocess.run(["7z", "l", "-slt", "-sccUTF-8", archive], capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
if listing.returncode != 0:
    fail("7z l")
paths = {line[len("Path = "):] for line in listing.stdout.decode("utf-8").splitlines() if line.startswith("Path = ")}
paths.discard(archive)
wanted = {name.rstrip("/") for name in expected}
if paths != wanted:
    fail("7z names %r" % sorted(paths ^ wanted))
