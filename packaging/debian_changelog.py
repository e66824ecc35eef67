#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the .deb's Debian changelog (changelog.gz, compressed reproducibly) from the
section of CHANGELOG.md for VERSION.

    debian_changelog.py VERSION OUT.gz

Its date is $SOURCE_DATE_EPOCH, else the last commit's, else CHANGELOG.md's modification
time, so that two builds of one commit write the same bytes.
"""
import email.utils
import gzip
import os
import subprocess
import sys
import textwrap

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAINTAINER = "if_brask developers <maintainers@if-brask.example>"


def release_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    commit = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                            capture_output=True, text=True)
    if commit.returncode == 0 and commit.stdout.strip():
        return int(commit.stdout)
    return int(os.path.getmtime(os.path.join(ROOT, "CHANGELOG.md")))


def items(version):
    """The section's list items, each joined into one line."""
    with open(os.path.join(ROOT, "CHANGELOG.md"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    heading = "## " + version
    try:
        start = next(i for i, line in enumerate(lines) if line.strip() == heading)
    except StopIteration:
        raise SystemExit("CHANGELOG.md has no section '%s'" % heading)
    found = []
    for line in lines[start + 1:]:
        if line.startswith("## "):
            break
        if line.startswith("- "):
            found.append(line[2:].strip())
        elif line.startswith("  ") and found:
            found[-1] += " " + line.strip()
    return found or ["Version %s." % version]


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    version, out = sys.argv[1], sys.argv[2]
    body = []
    for item in items(version):
        wrapped = textwrap.wrap(item.replace("`", ""), 76)
        body.append("  * " + wrapped[0])
        body.extend("    " + line for line in wrapped[1:])
    date = email.utils.formatdate(release_time(), usegmt=False)
    text = "brask (%s) unstable; urgency=medium\n\n%s\n\n -- %s  %s\n" % (
        version, "\n".join(body), MAINTAINER, date)
    with open(out, "wb") as raw:
        # No name and a fixed time in the gzip header: the same bytes every build.
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as f:
            f.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
