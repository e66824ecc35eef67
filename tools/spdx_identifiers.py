#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Adds `SPDX-License-Identifier: MIT` to every tracked source file that lacks one, or checks
that each has one (--check).

    tools/spdx_identifiers.py                 adds the line where it is missing
    tools/spdx_identifiers.py --check         lists the sources without one; exit 1 if any
    tools/spdx_identifiers.py FILE...         only these files (tracked or not)

The line goes first, in the file's own comment syntax, after a "#!" line or an XML
declaration. Sources are the files named in SOURCE_KINDS; data (data/, fuzz corpora and
regression inputs, pictures, JSON, Markdown) is none. data/pictures has a licence of its own.
"""
import argparse
import os
import re
import subprocess
import sys

IDENTIFIER = "SPDX-License-Identifier: MIT"
TAG = "SPDX-License-Identifier:"

# Comment syntax by file name ending; files named exactly as a key of BY_NAME too.
SOURCE_KINDS = {
    ".cpp": "// {}", ".cc": "// {}", ".h": "// {}", ".hpp": "// {}", ".c": "/* {} */",
    ".js": "// {}", ".mjs": "// {}", ".ts": "// {}", ".css": "/* {} */",
    ".rc": "// {}", ".rc.in": "// {}", ".h.in": "/* {} */", ".map": "/* {} */",
    ".py": "# {}", ".sh": "# {}", ".cmake": "# {}", ".pc.in": "# {}", ".nsi": "# {}",
    ".nsh": "# {}", ".thumbnailer": "# {}", ".def.in": "; {}",
    ".xml": "<!-- {} -->", ".html": "<!-- {} -->", ".svg": "<!-- {} -->",
}
BY_NAME = {"CMakeLists.txt": "# {}", "dev": "# {}", "run": "# {}", "wine-run": "# {}",
           "linux32-run": "# {}", "triggers.in": "# {}"}
NOT_SOURCES = re.compile(r"^(data/|fuzz/corpus/|fuzz/regressions/|.*/node_modules/)")
HEAD_LINES = 5  # the identifier is looked for this near the top


def comment_for(path):
    name = os.path.basename(path)
    if name in BY_NAME:
        return BY_NAME[name]
    for ending in sorted(SOURCE_KINDS, key=len, reverse=True):
        if name.endswith(ending):
            return SOURCE_KINDS[ending]
    return None


def tracked_sources(root):
    names = subprocess.run(["git", "-C", root, "ls-files", "-z"], check=True,
                           capture_output=True).stdout.decode().split("\0")
    return [n for n in names if n and not NOT_SOURCES.match(n) and comment_for(n)]


def has_identifier(text):
    return any(TAG in line for line in text.splitlines()[:HEAD_LINES])


def with_identifier(text, comment):
    lines = text.splitlines(keepends=True)
    at = 1 if lines and (lines[0].startswith("#!") or lines[0].startswith("<?xml")) else 0
    newline = "\r\n" if lines and lines[0].endswith("\r\n") else "\n"
    lines.insert(at, comment.format(IDENTIFIER) + newline)
    return "".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only list what lacks one")
    parser.add_argument("files", nargs="*", help="these files instead of every tracked source")
    arguments = parser.parse_args()
    found = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True)
    if found.returncode != 0:
        print("skipped: not a git checkout, so there is no list of tracked files")
        return 77  # ctest's skip code
    root = found.stdout.strip()
    files = arguments.files or [os.path.join(root, n) for n in tracked_sources(root)]
    missing = []
    for path in files:
        comment = comment_for(path)
        if comment is None:
            print("not a source file: %s" % path, file=sys.stderr)
            continue
        with open(path, encoding="utf-8", newline="") as source:
            text = source.read()
        if has_identifier(text):
            continue
        missing.append(os.path.relpath(path, root))
        if not arguments.check:
            with open(path, "w", encoding="utf-8", newline="") as source:
                source.write(with_identifier(text, comment))
    if arguments.check:
        for name in missing:
            print("no SPDX identifier: %s" % name)
        print("%d source files, %d without an SPDX identifier" % (len(files), len(missing)))
        return 1 if missing else 0
    print("added the identifier to %d of %d files" % (len(missing), len(files)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
