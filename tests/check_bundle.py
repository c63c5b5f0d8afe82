#!/usr/bin/env python3
"""Checks a collected QXDIAG folder from outside the tool, as support would.

    check_bundle.py QXDIAG_FOLDER [SCREENSHOT.png]

manifest.json must parse as JSON and list every file of the tree but the run
log and itself, each with the size and SHA-256 that the file really has, and
nothing that is not there. index.html must be one self-contained page (no
script, nothing fetched) naming every step and failure of the manifest. With
SCREENSHOT, the page is rendered in headless Chromium and the picture must
show more than a blank page. Prints what is wrong and exits 1, else exits 0.
"""
import hashlib
import json
import os
import subprocess
import sys
import tempfile

problems = []


def problem(text):
    problems.append(text)


def check_manifest(folder):
    with open(os.path.join(folder, "manifest.json"), "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xef\xbb\xbf"):
        problem("manifest.json starts with a BOM")
    manifest = json.loads(raw.decode("utf-8"))
    listed = {}
    for entry in manifest["files"]:
        path = entry["path"].replace("\\", "/")
        listed[path] = entry
        full = os.path.join(folder, path)
        if not os.path.isfile(full):
            problem("listed but missing: " + path)
            continue
        with open(full, "rb") as f:
            data = f.read()
        if entry.get("size") != len(data):
            problem("size of %s: %r listed, %d real" % (path, entry.get("size"), len(data)))
        if entry.get("sha256") != hashlib.sha256(data).hexdigest():
            problem("sha256 of %s does not match" % path)
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/")
            if path in ("QXDIAG.log", "manifest.json"):
                continue
            if path not in listed:
                problem("in the tree but not listed: " + path)
    for key in ("tool", "created", "os", "request", "steps", "failures"):
        if key not in manifest:
            problem("manifest has no " + key)
    for failure in manifest["failures"]:
        if not isinstance(failure.get("error"), int) or not failure.get("text", "").startswith(str(failure["error"])):
            problem("failure without its code and text: %r" % failure)
    return manifest


def check_report(folder, manifest):
    with open(os.path.join(folder, "index.html"), encoding="utf-8") as f:
        html = f.read()
    for needle in ("<html lang=\"ja\">", "概要", "端末", "製品の現在の設定", "ファイル一覧"):
        if needle not in html:
            problem("index.html lacks " + needle)
    for forbidden in ("<script", "http://", "https://", "<link", "@import"):
        if forbidden in html:
            problem("index.html holds " + forbidden)
    for step in manifest["steps"]:
        if ">%s<" % step["name"] not in html:
            problem("index.html does not name the step " + step["name"])
    for failure in manifest["failures"]:
        if failure["outcome"] not in html:
            problem("index.html does not show the failure " + failure["outcome"])


def render(folder, screenshot):
    with tempfile.TemporaryDirectory() as profile:
        subprocess.run(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile, "--hide-scrollbars", "--window-size=1100,1500",
             "--screenshot=" + screenshot, "file://" + os.path.abspath(os.path.join(folder, "index.html"))],
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    if not os.path.isfile(screenshot) or os.path.getsize(screenshot) < 10000:
        problem("the screenshot is missing or blank")
        return
    colours = subprocess.run(["identify", "-format", "%k", screenshot], check=True, capture_output=True,
                             text=True).stdout.strip()
    if int(colours or 0) < 50:
        problem("the screenshot shows hardly anything: %s colours" % colours)


def main():
    folder = sys.argv[1]
    manifest = check_manifest(folder)
    check_report(folder, manifest)
    if len(sys.argv) > 2:
        render(folder, sys.argv[2])
    for text in problems:
        print(text)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
