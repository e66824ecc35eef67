# SPDX-License-Identifier: MIT
"""The brask wheel: the Python package with libbrask.so.1 inside it. The release stages the
package (brask/, with the library, _version.py and the licence texts) beside this file and
builds it with `pip wheel --no-index --no-build-isolation`."""
import os

from setuptools import setup
from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))


class LibraryWheel(bdist_wheel):
    """Python over ctypes, so any Python 3 runs it; the library inside ties it to this
    platform."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        return "py3", "none", super().get_tag()[2]


with open(os.path.join(HERE, "brask", "_version.py"), encoding="utf-8") as f:
    VERSION = f.read().split('"')[1]

setup(
    name="brask",
    version=VERSION,
    description="G00 and PDT pictures in Pillow, and their decoder's C API from Python",
    license="MIT",
    packages=["brask"],
    package_data={"brask": ["libbrask.so.1", "licences/*.txt"]},
    install_requires=["Pillow"],
    python_requires=">=3.7",
    cmdclass={"bdist_wheel": LibraryWheel},
    zip_safe=False,
)
