#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web zip's licences follow the lockfile: a package the page bundles (nested ones too) is
found, one used only to build or test the page is not, and each text names its package."""
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import licences  # noqa: E402


class WebLicences(unittest.TestCase):
    def test_bundled_packages_are_the_lockfiles_runtime_ones(self):
        lock = {"packages": {
            "": {"dependencies": {"png-writer": "1.0.0"}},
            "node_modules/png-writer": {"version": "1.0.0"},
            "node_modules/png-writer/node_modules/deflater": {"version": "2.0.0"},
            "node_modules/bundler": {"version": "3.0.0", "dev": True},
        }}
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "package-lock.json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump(lock, f)
            self.assertEqual(licences.npm_packages_bundled(path), ["deflater", "png-writer"])

    def test_licence_text_names_package_version_and_licence(self):
        with tempfile.TemporaryDirectory() as work:
            package = os.path.join(work, "node_modules", "fflate")
            os.makedirs(package)
            with open(os.path.join(package, "package.json"), "w", encoding="utf-8") as f:
                json.dump({"version": "9.9.9", "license": "MIT"}, f)
            with open(os.path.join(package, "LICENSE"), "w", encoding="utf-8") as f:
                f.write("the licence's own words\n")
            licences.write_npm_licence("fflate", work, os.path.join(work, "node_modules"))
            with open(os.path.join(work, "fflate.txt"), encoding="utf-8") as f:
                text = f.read()
            self.assertTrue(text.startswith("fflate 9.9.9 (npm): "), text)
            self.assertIn("(MIT)", text)
            self.assertTrue(text.endswith("the licence's own words\n"), text)


if __name__ == "__main__":
    unittest.main()
