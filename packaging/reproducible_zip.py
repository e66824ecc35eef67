# SPDX-License-Identifier: MIT
"""Zip archives whose bytes depend on their files' contents alone: entries in name order,
every timestamp the release's, fixed permissions and compression."""
import os
import time
import zipfile

# The oldest time a zip entry can hold.
ZIP_EPOCH = 315532800  # 1980-01-01


def write_zip(out, folder, prefix, epoch):
    """Writes every file under `folder` into `out`, named `prefix`/relative path."""
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    names = []
    for where, folders, files in os.walk(folder):
        folders.sort()
        for name in files:
            path = os.path.join(where, name)
            names.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(names):
            entry = zipfile.ZipInfo("%s/%s" % (prefix, name) if prefix else name, stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3
            entry.external_attr = 0o100644 << 16
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
