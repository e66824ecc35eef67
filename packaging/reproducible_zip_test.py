#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A release zip depends on its files' contents alone: not on when or in which order they were
written, nor on the machine's time."""
import os
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reproducible_zip import write_zip  # noqa: E402

FILES = {"b.txt": b"second", "a/z.dll": b"\x00\x01" * 100, "a/b/c.exe": b"MZ" + b"x" * 4000}


def write_tree(folder, order, mtime):
    for name in order:
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(FILES[name])
        os.utime(path, (mtime, mtime))


class ReproducibleZip(unittest.TestCase):
    def test_same_bytes_whatever_the_order_and_times_of_the_files(self):
        with tempfile.TemporaryDirectory() as work:
            zips = []
            for n, (order, mtime) in enumerate([(sorted(FILES), 1e9),
                                                (sorted(FILES, reverse=True), time.time())]):
                tree = os.path.join(work, "tree%d" % n)
                write_tree(tree, order, mtime)
                zips.append(os.path.join(work, "out%d.zip" % n))
                write_zip(zips[-1], tree, "brask-1.0.0", 1796800000)
            with open(zips[0], "rb") as first, open(zips[1], "rb") as second:
                self.assertEqual(first.read(), second.read())
            with zipfile.ZipFile(zips[0]) as archive:
                names = archive.namelist()
                self.assertEqual(names, sorted("brask-1.0.0/" + n for n in FILES))
                for name in FILES:
                    self.assertEqual(archive.read("brask-1.0.0/" + name), FILES[name])
                self.assertEqual({i.date_time for i in archive.infolist()},
                                 {time.gmtime(1796800000)[:6]})

    def test_times_before_1980_are_held_as_1980(self):
        with tempfile.TemporaryDirectory() as work:
            write_tree(os.path.join(work, "tree"), ["b.txt"], 0)
            out = os.path.join(work, "old.zip")
            write_zip(out, os.path.join(work, "tree"), "", 0)
            with zipfile.ZipFile(out) as archive:
                self.assertEqual(archive.infolist()[0].date_time, (1980, 1, 1, 0, 0, 0))
                self.assertEqual(archive.namelist(), ["b.txt"])


if __name__ == "__main__":
    unittest.main()
