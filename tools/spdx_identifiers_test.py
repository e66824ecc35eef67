#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The identifier goes where each kind of file can hold it without changing what it does."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import spdx_identifiers  # noqa: E402


class Placement(unittest.TestCase):
    def added(self, name, text):
        comment = spdx_identifiers.comment_for(name)
        self.assertIsNotNone(comment, name)
        return spdx_identifiers.with_identifier(text, comment)

    def test_each_kind_in_its_own_comment_after_what_must_come_first(self):
        cases = [
            ("a/x.cpp", "#include <x>\n", "// SPDX-License-Identifier: MIT\n#include <x>\n"),
            ("run.sh", "#!/bin/sh\necho\n", "#!/bin/sh\n# SPDX-License-Identifier: MIT\necho\n"),
            ("cmake/wine-run", "#!/bin/sh\n", "#!/bin/sh\n# SPDX-License-Identifier: MIT\n"),
            ("m.xml", '<?xml version="1.0"?>\n<a/>\n',
             '<?xml version="1.0"?>\n<!-- SPDX-License-Identifier: MIT -->\n<a/>\n'),
            ("host/if_brask.def.in", "LIBRARY x\n", "; SPDX-License-Identifier: MIT\nLIBRARY x\n"),
            ("api/brask.pc.in", "prefix=/\n", "# SPDX-License-Identifier: MIT\nprefix=/\n"),
            ("w.nsi", "Unicode true\r\n", "# SPDX-License-Identifier: MIT\r\nUnicode true\r\n"),
            ("empty.h", "", "// SPDX-License-Identifier: MIT\n"),
        ]
        for name, before, after in cases:
            self.assertEqual(self.added(name, before), after, name)

    def test_data_and_prose_are_not_sources(self):
        for name in ("README.md", "web/package.json", "fuzz/dict/api.dict", "x.png"):
            self.assertIsNone(spdx_identifiers.comment_for(name), name)
        self.assertTrue(spdx_identifiers.NOT_SOURCES.match("data/pictures/README.md"))
        self.assertTrue(spdx_identifiers.NOT_SOURCES.match("fuzz/corpus/api/pdt10_1x1"))

    def test_adds_once_and_check_then_passes(self):
        with tempfile.TemporaryDirectory() as folder:
            def git(*arguments):
                subprocess.run(["git", "-C", folder] + list(arguments), check=True,
                               capture_output=True)
            git("init", "-q")
            for name, text in (("a.py", "#!/usr/bin/env python3\nprint()\n"),
                               ("b.h", "// SPDX-License-Identifier: MIT\n#pragma once\n")):
                with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                    f.write(text)
            git("add", "a.py", "b.h")
            script = os.path.join(HERE, "spdx_identifiers.py")

            def tool(*arguments):
                return subprocess.run([sys.executable, script] + list(arguments), cwd=folder,
                                      capture_output=True, text=True)
            self.assertEqual(tool("--check").returncode, 1)
            self.assertEqual(tool().returncode, 0)
            self.assertEqual(tool().stdout.strip(), "added the identifier to 0 of 2 files")
            self.assertEqual(tool("--check").returncode, 0)
            with open(os.path.join(folder, "a.py"), encoding="utf-8") as f:
                self.assertEqual(f.read(),
                                 "#!/usr/bin/env python3\n# SPDX-License-Identifier: MIT\nprint()\n")


if __name__ == "__main__":
    unittest.main()
