#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The licence texts every binary artifact carries: our own (LICENSE) and those of what each
one links or bundles, taken from the Debian packages the build used (and, for the web page,
from the npm packages it bundles).

    licences.py folder ARTIFACT OUT     writes OUT/LICENSE.txt and OUT/<component>.txt
    licences.py dep5 OUT                writes the .deb's machine-readable copyright file
    licences.py list ARTIFACT           names the components ARTIFACT carries

ARTIFACT is one of the keys of CARRIED. Only third-party code that ends up inside the
artifact counts: header-only libraries compiled in, libraries linked statically, and (for
the .deb, whose programs link them from Debian's own packages) the shared libraries brask
loads. data/pictures (GPL-2+) is in the source tarball only.
"""
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# component: (Debian package whose copyright file holds the texts, what it is to us)
COMPONENTS = {
    "CLI11": ("libcli11-dev", "command-line parsing, compiled into brask"),
    "nlohmann-json": ("nlohmann-json3-dev", "JSON output, compiled into brask"),
    "libspng": ("libspng0", "PNG reading and writing, linked by brask on Linux"),
    "zlib": ("zlib1g", "deflate, linked by libspng and brask on Linux"),
    "mingw-w64-runtime": ("mingw-w64-common",
                          "the Windows C runtime start-up and winpthreads, linked statically "
                          "into brask.exe"),
    "gcc-runtime": ("gcc-mingw-w64-base",
                    "libstdc++ and libgcc, linked statically into brask.exe under the GCC "
                    "Runtime Library Exception"),
}

# The npm packages the viewer page bundles (web/package-lock.json's packages that are not
# development ones): what each is to us. Their texts come from web/node_modules (npm ci).
NPM_COMPONENTS = {
    "fast-png": "PNG encoding of the page's downloads, bundled into main.js",
    "fflate": "deflate and ZIP writing, bundled into main.js (and by fast-png)",
    "iobuffer": "byte buffers for fast-png, bundled into main.js",
}

# What each artifact carries besides our own code. The plug-in DLLs and libbrask are our
# code alone (no C or C++ runtime inside them).
CARRIED = {
    "deb": ["CLI11", "nlohmann-json", "libspng", "zlib"],
    "wheel": [],
    "windows": ["CLI11", "nlohmann-json", "mingw-w64-runtime", "gcc-runtime"],
    "web": sorted(NPM_COMPONENTS),
}


def copyright_file(component):
    return "/usr/share/doc/%s/copyright" % COMPONENTS[component][0]


def write_folder(artifact, out):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(ROOT, "LICENSE"), encoding="utf-8") as ours:
        text = ours.read()
    with open(os.path.join(out, "LICENSE.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    for component in CARRIED[artifact]:
        if component in NPM_COMPONENTS:
            write_npm_licence(component, out)
            continue
        with open(copyright_file(component), encoding="utf-8") as source:
            text = source.read()
        with open(os.path.join(out, component + ".txt"), "w", encoding="utf-8",
                  newline="\n") as f:
            f.write("%s: %s.\nIts copyright and licence, as Debian's %s package records "
                    "them:\n\n%s" % (component, COMPONENTS[component][1],
                                     COMPONENTS[component][0], text))


def npm_packages_bundled(lockfile=os.path.join(ROOT, "web", "package-lock.json")):
    """The packages the lockfile installs for the page itself (not for building or testing
    it), nested ones included."""
    with open(lockfile, encoding="utf-8") as f:
        packages = json.load(f)["packages"]
    return sorted(name.rsplit("node_modules/", 1)[1] for name, package in packages.items()
                  if name and not package.get("dev"))


def write_npm_licence(component, out, modules=os.path.join(ROOT, "web", "node_modules")):
    folder = os.path.join(modules, component)
    with open(os.path.join(folder, "package.json"), encoding="utf-8") as f:
        package = json.load(f)
    with open(os.path.join(folder, "LICENSE"), encoding="utf-8") as source:
        text = source.read()
    with open(os.path.join(out, component + ".txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("%s %s (npm): %s.\nIts licence (%s), as the package holds it:\n\n%s" % (
            component, package["version"], NPM_COMPONENTS[component], package["license"], text))


def paragraphs(text):
    return [p for p in re.split(r"\n\s*\n", text.strip()) if p.strip()]


def standalone_licence(component, name):
    """The stand-alone `License: name` paragraph (with its full text) of a DEP-5 file."""
    with open(copyright_file(component), encoding="utf-8") as source:
        text = source.read()
    for paragraph in paragraphs(text):
        lines = paragraph.splitlines()
        if lines[0].split(":", 1)[0] == "License" and lines[0].split(":", 1)[1].strip() == name:
            return paragraph
    raise SystemExit("%s has no stand-alone licence %s" % (copyright_file(component), name))


def field(component, name):
    with open(copyright_file(component), encoding="utf-8") as source:
        first = paragraphs(source.read())
    for paragraph in first:
        if re.search(r"^Files:\s*\*\s*$", paragraph, re.M):
            match = re.search(r"^%s:\s*(.*)$" % name, paragraph, re.M)
            if match:
                return match.group(1).strip()
    return ""




def write_dep5(out):
    with open(os.path.join(ROOT, "LICENSE"), encoding="utf-8") as ours:
        mit = ours.read().split("\n\n", 2)[2]  # the terms, after the title and copyright
    expat_text = "\n".join(" " + (line if line.strip() else ".") for line in mit.strip().splitlines())
    embedded = [
        ("CLI11", "BSD-3-clause"), ("nlohmann-json", "Expat"),
        ("libspng", "BSD-2-Clause"), ("zlib", "Zlib"),
    ]
    lines = [
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
        "Upstream-Name: if_brask",
        "Upstream-Contact: if_brask developers <maintainers@if-brask.example>",
        "Comment: The programs of this package also carry code of others:",
    ]
    for component, licence in embedded:
        lines += [" %s (%s), %s: Copyright %s; licence %s, below." % (
            component, COMPONENTS[component][0], COMPONENTS[component][1],
            field(component, "Copyright"), licence)]
    lines += [
        " The source tarball's data/pictures and data/screenshots (GPL-2+) are in no binary",
        " package.",
        "",
        "Files: *",
        "Copyright: 2026 the if_brask developers",
        "License: Expat",
        "",
        "Files: data/pictures/* data/screenshots/*",
        "Copyright: the authors of the MATE Backgrounds, and the if_brask developers",
        "License: GPL-2+",
        "Comment: in the source tarball only, for the benchmarks and the README.",
    ]
    lines += ["", "License: Expat", expat_text]
    for component, licence in embedded:
        if licence != "Expat":
            lines += ["", standalone_licence(component, licence)]
    lines += ["", "License: GPL-2+",
              " This program is free software; you can redistribute it and/or modify it under",
              " the terms of the GNU General Public License as published by the Free Software",
              " Foundation; either version 2 of the License, or (at your option) any later",
              " version.",
              " .",
              " On Debian systems, the complete text of the GNU General Public License version 2",
              " can be found in /usr/share/common-licenses/GPL-2."]
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "folder":
        write_folder(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "dep5":
        write_dep5(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "list":
        print(" ".join(CARRIED[sys.argv[2]]))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
