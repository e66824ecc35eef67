#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""summarise.py on made-up runs whose answers are known: the ratios point the right way,
repetitions and runs reduce to medians, and aggregates are not counted as runs."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

SUMMARISE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "summarise.py")


def run_json(rows):
    """Google Benchmark JSON: rows of (name, real_time, MB/s), plus a median aggregate row
    with a misleading value that must be skipped."""
    benchmarks = [{"name": n, "run_name": n, "run_type": "iteration", "real_time": t,
                   "bytes_per_second": mbs * 1e6} for n, t, mbs in rows]
    benchmarks.append({"name": rows[0][0] + "_median", "run_name": rows[0][0],
                       "run_type": "aggregate", "aggregate_name": "median",
                       "real_time": 1e9, "bytes_per_second": 1.0})
    return json.dumps({"benchmarks": benchmarks})


class SummariseTest(unittest.TestCase):
    def summarise(self, *texts):
        with tempfile.TemporaryDirectory() as folder:
            paths = []
            for i, text in enumerate(texts):
                paths.append(os.path.join(folder, f"run{i}.txt"))
                with open(paths[-1], "w") as f:
                    f.write(text)
            done = subprocess.run([sys.executable, SUMMARISE, *paths], capture_output=True,
                                  text=True)
        return done.returncode, done.stdout + done.stderr

    def test_pictures_give_plain_over_ours_per_mode_and_the_lowest(self):
        # g00-0: ratios 4 and 1 (mean 2); pdt10: 2 from the median of three repetitions.
        status, out = self.summarise(run_json([
            ("g00-0/a/ours", 10, 0), ("g00-0/a/plain", 40, 0),
            ("g00-0/b/ours", 30, 0), ("g00-0/b/plain", 30, 0),
            ("pdt10/a/ours", 5, 0), ("pdt10/a/ours", 10, 0), ("pdt10/a/ours", 90, 0),
            ("pdt10/a/plain", 20, 0),
            ("api/g00-0/a", 1, 0)]))
        self.assertEqual(status, 0, out)
        self.assertIn("| g00-0 | 2.00 |", out)
        self.assertIn("| pdt10 | 2.00 |", out)
        self.assertIn("**2.00**", out)
        self.assertIn("lowest picture: g00-0/b at 1.00", out)

    def test_several_picture_runs_give_the_median_ratio_and_its_range(self):
        runs = [run_json([("g00-0/a/ours", 10, 0), ("g00-0/a/plain", plain, 0)])
                for plain in (15, 30, 20)]
        status, out = self.summarise(*runs)
        self.assertEqual(status, 0, out)
        self.assertIn("| g00-0 | a | 2.00 | 1.50, 3.00 |", out)

    def test_streams_give_ours_over_plain(self):
        rows = []
        for picture, ours in (("a", 300), ("b", 1200)):
            rows += [(f"BM_DecodeG00Pixels/{picture}/ours", 0, ours),
                     (f"BM_DecodeG00Pixels/{picture}/plain", 0, 300),
                     (f"BM_DecodeG00Pixels/{picture}/memcpy", 0, 6000)]
        status, out = self.summarise(run_json(rows))
        self.assertEqual(status, 0, out)
        self.assertIn("| G00Pixels | b | 1200 | 300 | 6000 | 4.00 | 0.20 |", out)
        self.assertIn("| G00Pixels | 2.00 |", out)

    def test_the_32_bit_table_is_read_by_its_header(self):
        status, out = self.summarise(
            "variant     picture     ours  groups   sse2  plain  memcpy  ratio\n"
            "G00Pixels   a            900     450      -    300    6000   3.00\n"
            "G00Pixels   b            600     450    500    300    6000   2.00\n")
        self.assertEqual(status, 0, out)
        self.assertIn("| G00Pixels | a | 900 | 300 | 6000 | 3.00 | 0.15 |", out)
        self.assertIn("| G00Pixels | 2.45 |", out)

    def test_runs_of_both_programs_at_once_are_refused(self):
        status, out = self.summarise(
            run_json([("g00-0/a/ours", 1, 0), ("g00-0/a/plain", 1, 0)]),
            run_json([("BM_DecodeG00Pixels/a/ours", 0, 1), ("BM_DecodeG00Pixels/a/plain", 0, 1)]))
        self.assertNotEqual(status, 0)
        self.assertIn("one benchmark program", out)


if __name__ == "__main__":
    unittest.main()
