#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Builds the release into dist/ and smoke-tests every artifact as its user would use it.

    packaging/release.py             build, smoke-test, write SHA256SUMS (./dev release)
    packaging/release.py --dry-run   print the plan: every artifact, and which are missing

Everything is built from the checked-out commit with SOURCE_DATE_EPOCH set to its time, so
that two releases of one commit are the same bytes. A failing build or smoke test fails the
release. An artifact that cannot be built yet is listed as missing (Artifact(missing=why)),
never faked; adding one is an entry in `plan()` with a build and a smoke function.
"""
import argparse
from functools import partial
import glob
import hashlib
import os
import platform
import re
import shutil
import subprocess
import sys
import tarfile
import socket
import tempfile
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reproducible_zip import write_zip  # noqa: E402
import licences  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DIST = os.path.join(ROOT, "dist")
BUILD = os.path.join(ROOT, "build", "release")
EMSCRIPTEN_TOOLCHAIN = "/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake"
# Debian's interpreter: its setuptools, wheel, venv and Pillow build and test the wheel.
PYTHON = "/usr/bin/python3"


class Artifact:
    """One file of the release: who it is for, how it is built and smoke-tested, or why it
    is missing."""

    def __init__(self, name, user, build=None, smoke=None, missing=None):
        self.name = name
        self.user = user
        self.build = build
        self.smoke = smoke
        self.missing = missing


class Release:
    def __init__(self):
        self.version = project_version()
        self.commit = git("rev-parse", "HEAD")
        self.epoch = int(git("log", "-1", "--format=%ct"))
        self.arch = run_text(["dpkg", "--print-architecture"])
        self.machine = platform.machine()
        self.env = dict(os.environ, SOURCE_DATE_EPOCH=str(self.epoch), WINEDEBUG="-all",
                        TZ="UTC", LC_ALL="C.UTF-8")
        self.scratch = None

    def scratch_dir(self, name):
        path = os.path.join(self.scratch, name)
        os.makedirs(path, exist_ok=True)
        return path


# ---- what is released ------------------------------------------------------------------

def plan(r):
    v = r.version
    return [
        Artifact("brask-%s.tar.gz" % v, "anyone who builds from source (every tracked file)",
                 build_source, smoke_source),
        Artifact("brask_%s_%s.deb" % (v, r.arch),
                 "Debian and Ubuntu users: brask, libbrask, the viewer loader, thumbnails, "
                 "Python", build_deb, smoke_deb),
        Artifact("brask-gimp_%s_%s.deb" % (v, r.arch),
                 "GIMP 2.10 users on Debian and Ubuntu: open and export G00 and PDT (needs "
                 "the brask package)", build_gimp_deb, smoke_gimp_deb),
        Artifact("brask-%s-py3-none-linux_%s.whl" % (v, r.machine),
                 "Python users on Linux (pip, with libbrask.so.1 inside)", build_wheel,
                 smoke_wheel),
        # x86 before x64: the x64 setup program carries the win32 build's 32-bit files.
        Artifact("brask-%s-windows-x86.zip" % v,
                 "32-bit Windows users and 32-bit viewers, nothing to install: brask.exe, "
                 "if_brask.spi and the codec to register by hand",
                 partial(build_portable, kind="win32"), partial(smoke_portable, kind="win32")),
        Artifact("brask-%s-windows-x64.zip" % v,
                 "64-bit Windows users, nothing to install: brask.exe, the 64-bit plug-in and "
                 "the codec to register by hand",
                 partial(build_portable, kind="win64"), partial(smoke_portable, kind="win64")),
        Artifact("brask-%s-setup-x64.exe" % v,
                 "64-bit Windows users who want an installer: brask, Explorer thumbnails and "
                 "the codec for 64-bit and 32-bit programs",
                 partial(build_setup, kind="win64"), partial(smoke_setup, kind="win64")),
        Artifact("brask-%s-setup-x86.exe" % v, "32-bit Windows users who want an installer",
                 partial(build_setup, kind="win32"), partial(smoke_setup, kind="win32")),
        Artifact("brask-%s-web.zip" % v,
                 "anyone who puts the viewer page on a web server (static files only)",
                 build_web, smoke_web),
    ]


# ---- helpers ---------------------------------------------------------------------------

def run(command, env=None, cwd=None, quiet=True):
    print("  $ " + " ".join(command), flush=True)
    result = subprocess.run(command, env=env, cwd=cwd, text=True,
                            stdout=subprocess.PIPE if quiet else None,
                            stderr=subprocess.STDOUT if quiet else None)
    if result.returncode != 0:
        if quiet:
            print(result.stdout[-6000:])
        raise SystemExit("release: failed (%d): %s" % (result.returncode, " ".join(command)))
    return result.stdout if quiet else ""


def run_text(command, cwd=ROOT):
    return subprocess.run(command, cwd=cwd, check=True, capture_output=True,
                          text=True).stdout.strip()


def git(*arguments):
    return run_text(["git", "-C", ROOT] + list(arguments))


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"^project\(\w+ VERSION (\d+\.\d+\.\d+)\b", f.read(), re.M)
    if not match:
        raise SystemExit("release: CMakeLists.txt sets no project(... VERSION x.y.z)")
    return match.group(1)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def configure_and_build(r, preset_dir, targets, toolchain=None, options=()):
    """A release build of its own under build/release: optimised, paths inside the binaries
    given relative to the source, and (Windows) no link time in the images."""
    build = os.path.join(BUILD, preset_dir)
    flags = "-ffile-prefix-map=%s=." % ROOT
    command = ["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
               "-DBRASK_BUILD_BENCH=OFF", "-DCMAKE_CXX_FLAGS=" + flags]
    if toolchain:
        command += ["--toolchain", os.path.join(ROOT, "cmake", toolchain)]
    if toolchain and "mingw32" in toolchain:
        command += ["-DCMAKE_EXE_LINKER_FLAGS=-Wl,--no-insert-timestamp",
                    "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,--no-insert-timestamp"]
    run(command + list(options), env=r.env)
    run(["cmake", "--build", build, "--target"] + list(targets), env=r.env)
    return build


def sample_pictures(r):
    """A sample of every mode, written by the release's own brask (demo)."""
    folder = os.path.join(r.scratch, "samples")
    if not os.path.isdir(folder):
        brask = os.path.join(BUILD, "native", "bin", "brask")
        run([brask, "demo", os.path.join(r.scratch, "demo")], env=r.env)
        shutil.copytree(os.path.join(r.scratch, "demo", "samples"), folder)
    return folder


def check_version_resource(path, version):
    """The Windows version resource of the program or DLL at path says version."""
    # The resource's strings are UTF-16, each value aligned to 4 bytes after its name.
    file_version = re.compile(re.escape("FileVersion\0".encode("utf-16-le")) + b"(?:\0\0)?" +
                              re.escape((version + "\0").encode("utf-16-le")))
    with open(path, "rb") as f:
        check(file_version.search(f.read()) is not None,
              "%s has a version resource saying %s" % (os.path.basename(path), version))


def check(condition, what):
    if not condition:
        raise SystemExit("release: smoke test failed: " + what)


# ---- source tarball --------------------------------------------------------------------

def build_source(r, out):
    """git archive of the commit: exactly the tracked files, each dated the commit's time;
    gzip without a name or time."""
    prefix = "brask-%s/" % r.version
    tar = subprocess.run(["git", "-C", ROOT, "archive", "--format=tar", "--prefix=" + prefix,
                          r.commit], check=True, capture_output=True).stdout
    gz = subprocess.run(["gzip", "-9n"], input=tar, check=True, capture_output=True).stdout
    with open(out, "wb") as f:
        f.write(gz)


def smoke_source(r, path):
    """Unpacked, built as a user builds it, and its demo run."""
    where = r.scratch_dir("source")
    with tarfile.open(path) as archive:
        names = archive.getnames()
        archive.extractall(where)
    tracked = set(git("ls-files").splitlines())
    prefix = "brask-%s/" % r.version
    files = {n[len(prefix):] for n in names if n.startswith(prefix)}
    check(tracked <= files, "the tarball lacks tracked files: %s" % sorted(tracked - files)[:5])
    top = os.path.join(where, "brask-%s" % r.version)
    build = os.path.join(where, "build")
    run(["cmake", "-S", top, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
         "-DBRASK_BUILD_TESTS=OFF", "-DBRASK_BUILD_DESKTOP=OFF"], env=r.env)
    run(["cmake", "--build", build, "--target", "brask", "if_brask"], env=r.env)
    brask = os.path.join(build, "bin", "brask")
    check(run([brask, "--version"]).strip() == "brask " + r.version, "brask --version")
    run([brask, "demo", os.path.join(where, "demo")], env=r.env)


# ---- Debian package --------------------------------------------------------------------

def build_deb(r, out):
    """cpack's packages: brask, and brask-gimp with the GIMP plug-in (the build makes it
    where libgimp2.0-dev is installed, as ./dev release installs it)."""
    # Installed under /usr, so the library goes into the multiarch folder. Linked with the
    # installed RUNPATH (none) from the start: the build folder's path, which installing
    # strips, would otherwise stay in the programs' build IDs.
    build = configure_and_build(r, "native", ["all"], options=[
        "-DBRASK_BUILD_TESTS=OFF", "-DCMAKE_INSTALL_PREFIX=/usr",
        "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON"])
    for old in glob.glob(os.path.join(build, "*.deb")):
        os.remove(old)
    run(["cpack", "-G", "DEB", "-B", build], env=r.env, cwd=build)
    made = sorted(os.path.basename(m) for m in glob.glob(os.path.join(build, "*.deb")))
    gimp = "brask-gimp_%s_%s.deb" % (r.version, r.arch)
    check(made == sorted([os.path.basename(out), gimp]), "cpack made brask and brask-gimp (%s)"
          % made)
    shutil.copyfile(os.path.join(build, os.path.basename(out)), out)


def build_gimp_deb(r, out):
    """Made by build_deb's cpack run, with brask's package."""
    made = os.path.join(BUILD, "native", os.path.basename(out))
    check(os.path.exists(made), "cpack made %s" % os.path.basename(out))
    shutil.copyfile(made, out)


def lintian_errors(path):
    lintian = subprocess.run(["lintian", "--tag-display-limit", "0", path], text=True,
                             capture_output=True)
    print("\n".join("    " + line for line in lintian.stdout.splitlines()))
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    check(not errors and lintian.returncode in (0, 1) and "E:" not in lintian.stderr,
          "lintian reports errors: %s %s" % (errors, lintian.stderr.strip()))


def smoke_gimp_deb(r, path):
    """Its plug-in lands in the plug-ins folder GIMP searches, executable and linked against
    brask's libbrask.so.1; it depends on brask of this version; lintian reports no error."""
    listing = run(["dpkg-deb", "-c", path])
    plugin_dir = run_text(["pkg-config", "--variable=gimplibdir", "gimp-2.0"]) + "/plug-ins"
    plugin = "." + plugin_dir + "/file-brask/file-brask"
    entries = {line.split()[-1]: line.split()[0] for line in listing.splitlines()}
    check(plugin in entries, "%s in the package (it holds %s)" % (plugin[1:], sorted(entries)))
    check(entries[plugin].startswith("-rwxr-xr-x"), "the plug-in is executable")
    check(not [n for n in entries if n.endswith(".so") or "libbrask" in n],
          "brask-gimp carries no library of its own")
    depends = run(["dpkg-deb", "-f", path, "Depends"]).strip()
    check("brask (= %s)" % r.version in depends, "brask-gimp depends on brask %s (%s)"
          % (r.version, depends))
    root = r.scratch_dir("gimp-deb-root")
    run(["dpkg-deb", "-x", path, root])
    needed = run(["objdump", "-p", os.path.join(root, plugin)])
    check("libbrask.so.1" in needed, "the plug-in loads libbrask.so.1")
    lintian_errors(path)


def smoke_deb(r, path):
    """Unpacked into a throwaway root, whose brask converts pictures with the package's own
    plug-in and libraries; lintian reports no error."""
    root = r.scratch_dir("deb-root")
    run(["dpkg-deb", "-x", path, root])
    libdir = glob.glob(os.path.join(root, "usr", "lib", "*-linux-gnu"))
    check(len(libdir) == 1, "the package has one multiarch library folder")
    env = dict(r.env, LD_LIBRARY_PATH=libdir[0])
    brask = os.path.join(root, "usr", "bin", "brask")
    check(run([brask, "--version"], env=env).strip() == "brask " + r.version, "brask --version")
    out = r.scratch_dir("deb-png")
    run([brask, "convert", sample_pictures(r), "-o", out, "-j", "2"], env=env)
    check(len(glob.glob(os.path.join(out, "*.png"))) >= 6, "a PNG for every sample")
    run([brask, "demo", os.path.join(r.scratch, "deb-demo")], env=env)  # the packaged plug-in
    for doc in ("copyright", "changelog.gz"):
        check(os.path.exists(os.path.join(root, "usr", "share", "doc", "brask", doc)),
              "/usr/share/doc/brask/" + doc)
    check(not glob.glob(os.path.join(root, "**", "*.png"), recursive=True),
          "no picture of data/ in the package")
    lintian_errors(path)


# ---- Python wheel ----------------------------------------------------------------------

def build_wheel(r, out):
    build = os.path.join(BUILD, "native")
    check(os.path.exists(os.path.join(build, "bin", "libbrask.so.1")), "the native build ran")
    stage = r.scratch_dir("wheel-stage")
    package = os.path.join(stage, "brask")
    shutil.copytree(os.path.join(ROOT, "integrations", "python", "brask"), package,
                    ignore=shutil.ignore_patterns("__pycache__", "*.pyc"))
    shutil.copyfile(os.path.join(build, "integrations", "python", "_version.py"),
                    os.path.join(package, "_version.py"))
    library = os.path.join(package, "libbrask.so.1")
    shutil.copyfile(os.path.realpath(os.path.join(build, "bin", "libbrask.so.1")), library)
    run(["strip", "--strip-unneeded", library])
    run([PYTHON, os.path.join(ROOT, "packaging", "licences.py"), "folder", "wheel",
         os.path.join(package, "licences")])
    shutil.copyfile(os.path.join(ROOT, "packaging", "python", "setup.py"),
                    os.path.join(stage, "setup.py"))
    wheels = r.scratch_dir("wheel-out")
    run([PYTHON, "-m", "pip", "wheel", "--no-index", "--no-build-isolation",
         "--no-deps", "--wheel-dir", wheels, stage], env=r.env)
    made = glob.glob(os.path.join(wheels, "*.whl"))
    check([os.path.basename(m) for m in made] == [os.path.basename(out)],
          "pip made %s" % os.path.basename(out))
    shutil.copyfile(made[0], out)


def smoke_wheel(r, path):
    """Installed offline into a fresh virtual environment (Debian's Pillow from the system
    site), then a sample of every mode opened with Pillow, and one saved as PDT and read back
    the same."""
    venv = os.path.join(r.scratch, "venv")
    run([PYTHON, "-m", "venv", "--system-site-packages", venv])
    python = os.path.join(venv, "bin", "python")
    run([python, "-m", "pip", "install", "--no-index", path], env=r.env)
    program = (
        "import glob, os, sys, brask\n"
        "from PIL import Image\n"
        "venv, version, samples = sys.argv[1:]\n"
        "assert brask.__file__.startswith(venv), brask.__file__\n"
        "library = brask._library.load_library()._name\n"
        "assert library.startswith(venv), library\n"
        "assert brask.__version__ == version == brask.version(), brask.version()\n"
        "pictures = sorted(glob.glob(os.path.join(samples, '*')))\n"
        "assert pictures\n"
        "for picture in pictures:\n"
        "    with Image.open(picture) as image:\n"
        "        image.load()\n"
        "        assert image.size[0] > 0 and image.mode in ('RGB', 'RGBA', 'P'), picture\n"
        "saved = os.path.join(os.path.dirname(venv), 'saved-by-pillow.pdt')\n"
        "with Image.open(pictures[0]) as image:\n"
        "    rgb = image.convert('RGB')\n"
        "rgb.save(saved)\n"
        "with Image.open(saved) as again:\n"
        "    assert again.format == 'PDT' and again.convert('RGB').tobytes() == rgb.tobytes()\n"
        "print('opened %d pictures with Pillow from the wheel, saved one as PDT and read it "
        "back' % len(pictures))\n")
    script = os.path.join(r.scratch, "open_with_pillow.py")
    with open(script, "w", encoding="utf-8") as f:
        f.write(program)
    env = {k: v for k, v in r.env.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    print(run([python, script, venv, r.version, sample_pictures(r)], env=env,
              cwd=r.scratch).strip())


# ---- Windows portable zips -------------------------------------------------------------

WINDOWS = {
    "win64": {"toolchain": "toolchain-x86_64-w64-mingw32.cmake", "arch": "x64",
              "plugin": "if_brask_x64.dll", "objdump": "x86_64-w64-mingw32-objdump",
              "kind": "PE32+"},
    "win32": {"toolchain": "toolchain-i686-w64-mingw32.cmake", "arch": "x86",
              "plugin": "if_brask.spi", "objdump": "i686-w64-mingw32-objdump",
              "kind": "PE32"},
}
# Files a portable zip carries besides brask.exe and the plug-in: (name in the zip, path in
# the build, a line for README.txt).
CODEC_README = (
    "brask_wic.dll is the codec that lets Windows programs and Explorer (thumbnails,\n"
    "properties) open G00 and PDT pictures. Leave it where it will stay, then register it\n"
    "from a command prompt in this folder: for yourself,\n"
    "  regsvr32 /n /i:user brask_wic.dll\n"
    "or, as administrator, for everyone:\n"
    "  regsvr32 brask_wic.dll\n"
    "The same command with /u added unregisters it. The setup program does all this for you.")
PORTABLE_EXTRAS = {"win64": [("brask_wic.dll", "bin/brask_wic.dll", CODEC_README)],
                   "win32": [("brask_wic.dll", "bin/brask_wic.dll", CODEC_README)]}


def build_portable(r, out, kind):
    build_of = WINDOWS[kind]
    # The tests' wine probe is built too: it tells a broken brask.exe from a wine that
    # cannot run here.
    build = configure_and_build(r, kind, ["brask", "if_brask", "brask_wic", "wine_probe"],
                                toolchain=build_of["toolchain"],
                                options=["-DBRASK_WIN32_BINARY_DIR=" + os.path.join(BUILD, "win32")])
    stage = r.scratch_dir("portable-" + kind)
    binaries = os.path.join(build, "bin")
    shutil.copyfile(os.path.join(binaries, "brask.exe"), os.path.join(stage, "brask.exe"))
    plugin = build_of["plugin"]
    shutil.copyfile(os.path.join(binaries, plugin), os.path.join(stage, plugin))
    extra_lines = []
    for name, built, line in PORTABLE_EXTRAS[kind]:
        shutil.copyfile(os.path.join(build, built), os.path.join(stage, name))
        extra_lines.append(line)
    with open(os.path.join(ROOT, "packaging", "portable", "README.txt"), encoding="utf-8") as f:
        readme = (f.read().replace("@VERSION@", r.version).replace("@ARCH@", build_of["arch"])
                  .replace("@PLUGIN@", build_of["plugin"])
                  .replace("@EXTRA@", "".join("\n" + line + "\n" for line in extra_lines)))
    with open(os.path.join(stage, "README.txt"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(readme)
    run([PYTHON, os.path.join(ROOT, "packaging", "licences.py"), "folder", "windows",
         os.path.join(stage, "licences")])
    shutil.move(os.path.join(stage, "licences", "LICENSE.txt"), os.path.join(stage, "LICENSE.txt"))
    write_zip(out, stage, os.path.basename(out)[:-len(".zip")], r.epoch)


def smoke_portable(r, path, kind):
    """Unzipped, the DLL checked as a host's loader sees it, the version resources read, and
    brask.exe run under wine as a user runs it: its PNGs equal the native brask's."""
    build_of = WINDOWS[kind]
    where = r.scratch_dir("unzipped-" + kind)
    shutil.unpack_archive(path, where)
    top = os.path.join(where, os.path.basename(path)[:-len(".zip")])
    for name in ("brask.exe", build_of["plugin"], "README.txt", "LICENSE.txt"):
        check(os.path.exists(os.path.join(top, name)), "%s in %s" % (name, path))
    run([os.path.join(ROOT, "tests", "check_dll_interface.sh"), build_of["objdump"],
         os.path.join(top, build_of["plugin"]), build_of["plugin"], build_of["kind"]])
    for name in ["brask.exe", build_of["plugin"]] + [e[0] for e in PORTABLE_EXTRAS[kind]]:
        check(os.path.exists(os.path.join(top, name)), "%s in %s" % (name, path))
        check_version_resource(os.path.join(top, name), r.version)
    wine_run = os.path.join(ROOT, "cmake", "wine-run")
    status = os.path.join(r.scratch, "wine-status-" + kind)
    probe = os.path.join(BUILD, kind, "bin", "wine_probe.exe")
    probed = subprocess.run([wine_run, kind, "--probe", probe, status], env=r.env)
    if probed.returncode != 0:
        with open(status, encoding="utf-8") as f:
            why = f.read().strip()
        check(kind == "win32", "wine64 runs here")
        print("  SKIPPED: brask.exe under wine32: " + why)
        return "skipped under wine: " + why
    exe = os.path.join(top, "brask.exe")
    check(run([wine_run, kind, exe, "--version"], env=r.env).strip() == "brask " + r.version,
          "brask.exe --version")
    samples = sample_pictures(r)
    out = r.scratch_dir("wine-png-" + kind)
    # Relative paths: brask.exe takes an argument starting with "/" for a Windows option.
    run([wine_run, kind, exe, "convert", os.path.relpath(samples, r.scratch), "-o",
         os.path.relpath(out, r.scratch), "-j", "2"], env=r.env, cwd=r.scratch)
    native = r.scratch_dir("native-png")
    if not os.listdir(native):
        run([os.path.join(BUILD, "native", "bin", "brask"), "convert", samples, "-o", native],
            env=r.env)
    expected = sorted(os.listdir(native))
    check(sorted(os.listdir(out)) == expected and expected, "brask.exe wrote every PNG")
    for name in expected:
        run([PYTHON, os.path.join(ROOT, "tests", "brask", "compare_pngs.py"),
             os.path.join(native, name), os.path.join(out, name)])
    return None


# ---- Windows setup programs ------------------------------------------------------------

def build_setup(r, out, kind):
    """The setup target of the Windows build that build_portable made (the x64 one carries
    the win32 build's files: build/release/win32, given at configure time)."""
    build = os.path.join(BUILD, kind)
    run(["cmake", "--build", build, "--target", "setup"], env=r.env)
    shutil.copyfile(os.path.join(build, "setup", os.path.basename(out)), out)


def smoke_setup(r, path, kind):
    """Installed silently for everyone (/S /ALLUSERS) under wine in a fresh prefix of its
    own, the installed brask.exe run and its codec found, then uninstalled silently: no file,
    key or value of it left."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "windows"))
    from setup_program_test import Prefix, expect_unchanged  # the setup test's own checks
    check_version_resource(path, r.version)
    wine_run = os.path.join(ROOT, "cmake", "wine-run")
    status = os.path.join(r.scratch, "wine-status-setup-" + kind)
    probe = os.path.join(BUILD, kind, "bin", "wine_probe.exe")
    if subprocess.run([wine_run, kind, "--probe", probe, status], env=r.env).returncode != 0:
        check(kind == "win32", "wine64 runs here")
        with open(status, encoding="utf-8") as f:
            why = f.read().strip()
        print("  SKIPPED: the setup under wine32: " + why)
        return "skipped under wine: " + why
    prefix = Prefix([wine_run, kind], Path(r.scratch_dir("wine-setup-" + kind)))
    try:
        run([wine_run, kind, "--prepare"], env=prefix.environment)
        drive = prefix.path / "drive_c"
        before = prefix.snapshot()
        shutil.copyfile(path, drive / "setup.exe")
        prefix.run("C:\\setup.exe", "/S", "/ALLUSERS")
        folder = drive / "Program Files" / "brask"
        arch = WINDOWS[kind]["arch"]
        for name in ("brask.exe", WINDOWS[kind]["plugin"], "uninstall.exe",
                     "codec/%s/brask_wic.dll" % arch):
            check((folder / name).is_file(), "the setup installed Program Files/brask/" + name)
        version = prefix.run("C:\\Program Files\\brask\\brask.exe", "--version")
        check(version.stdout.strip() == "brask " + r.version, "the installed brask.exe --version "
              "says %r" % version.stdout.strip())
        prefix.run("C:\\Program Files\\brask\\uninstall.exe", "/S")
        (drive / "setup.exe").unlink()
        try:
            expect_unchanged(before, prefix.snapshot(), "after the uninstaller")
        except AssertionError as left:
            check(False, str(left))
        print("  installed for everyone, brask.exe run, uninstalled without a trace")
    finally:
        subprocess.run(["wineserver", "-k"], env=prefix.environment, stderr=subprocess.DEVNULL)
    return None


# ---- web site --------------------------------------------------------------------------

def build_web(r, out):
    """The web preset's site (the page, its bundled npm libraries, brask.mjs and
    brask.wasm), with the licences of what it bundles, zipped."""
    build = configure_and_build(r, "web", ["brask_site"], toolchain=EMSCRIPTEN_TOOLCHAIN,
                                options=["-DBRASK_BUILD_TOOLS=OFF", "-DBRASK_BUILD_TESTS=OFF",
                                         "-DBRASK_BUILD_DESKTOP=OFF", "-DBRASK_BUILD_WEB=ON"])
    # The build puts the licences into the site's licences folder, which the footer links.
    write_zip(out, os.path.join(build, "site"), os.path.basename(out)[:-len(".zip")], r.epoch)


def smoke_web(r, path):
    """Unzipped and served on 127.0.0.1 by python3 -m http.server, loaded in headless
    Chromium: a sample dropped on the page is decoded, the footer names this version, nothing
    is logged as an error and nothing fetched from elsewhere."""
    where = r.scratch_dir("unzipped-web")
    shutil.unpack_archive(path, where)
    top = os.path.join(where, os.path.basename(path)[:-len(".zip")])
    carried = ["licences/%s.txt" % c for c in ["LICENSE"] + licences.CARRIED["web"]]
    for name in ["index.html", "main.js", "brask.mjs", "brask.wasm"] + carried:
        check(os.path.exists(os.path.join(top, name)), "%s in %s" % (name, path))
    sample = sorted(glob.glob(os.path.join(sample_pictures(r), "*.g00")))[0]
    with socket.socket() as free:
        free.bind(("127.0.0.1", 0))
        port = free.getsockname()[1]
    server = subprocess.Popen([PYTHON, "-m", "http.server", "--bind", "127.0.0.1",
                               "--directory", top, str(port)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        print(run(["node", os.path.join(ROOT, "packaging", "web_smoke.mjs"),
                   "http://127.0.0.1:%d/" % port, r.version, sample], env=r.env).strip())
    finally:
        server.terminate()
        server.wait()
    return None


# ---- the run ---------------------------------------------------------------------------

def validate(r, artifacts):
    """What the plan must hold, whatever is built: faults a dry run can find."""
    problems = []
    names = [a.name for a in artifacts]
    if len(set(names)) != len(names):
        problems.append("two artifacts share a name")
    for artifact in artifacts:
        if artifact.missing is None and (artifact.build is None or artifact.smoke is None):
            problems.append("%s has no build or no smoke test" % artifact.name)
    with open(os.path.join(ROOT, "CHANGELOG.md"), encoding="utf-8") as f:
        if not re.search(r"^## %s\s*$" % re.escape(r.version), f.read(), re.M):
            problems.append("CHANGELOG.md has no section '## %s'" % r.version)
    if sorted(licences.CARRIED["web"]) != licences.npm_packages_bundled():
        problems.append("the web page bundles the npm packages %s, but packaging/licences.py "
                        "carries the licences of %s" % (licences.npm_packages_bundled(),
                                                        sorted(licences.CARRIED["web"])))
    for required in ("LICENSE", "README.md"):
        if not os.path.exists(os.path.join(ROOT, required)):
            problems.append(required + " is missing")
    return problems


def print_plan(r, artifacts):
    print("Release %s of commit %s (SOURCE_DATE_EPOCH=%d) into dist/:" % (
        r.version, r.commit[:12], r.epoch))
    for artifact in artifacts:
        if artifact.missing:
            print("  MISSING  %-40s %s" % (artifact.name, artifact.missing))
        else:
            print("  build    %-40s for %s" % (artifact.name, artifact.user))
            described = getattr(artifact.smoke, "func", artifact.smoke).__doc__
            print("           %-40s smoke test: %s" % ("", " ".join(described.split())))
    print("  write    %-40s the SHA-256 of every artifact built" % "SHA256SUMS")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dry-run", action="store_true", help="print the plan, build nothing")
    parser.add_argument("--allow-dirty", action="store_true",
                        help="release although tracked files have uncommitted changes (the "
                             "tarball is still the commit's)")
    arguments = parser.parse_args()
    if subprocess.run(["git", "-C", ROOT, "rev-parse", "HEAD"], capture_output=True).returncode:
        print("release: not a git checkout; a release is made from a commit")
        return 77  # ctest's skip code
    r = Release()
    artifacts = plan(r)
    print_plan(r, artifacts)
    problems = validate(r, artifacts)
    for problem in problems:
        print("release: " + problem)
    if problems:
        return 1
    if arguments.dry_run:
        return 0
    if git("status", "--porcelain", "--untracked-files=no") and not arguments.allow_dirty:
        raise SystemExit("release: tracked files have uncommitted changes; commit them first")

    shutil.rmtree(DIST, ignore_errors=True)
    os.makedirs(DIST)
    outcomes = []
    with tempfile.TemporaryDirectory(prefix="brask-release-") as scratch:
        r.scratch = scratch
        # The native build comes first: the wheel takes its library, the smoke tests its
        # sample pictures.
        order = sorted(artifacts, key=lambda a: not a.name.endswith(".deb"))
        for artifact in order:
            if artifact.missing:
                outcomes.append("MISSING  %s: %s" % (artifact.name, artifact.missing))
                continue
            out = os.path.join(DIST, artifact.name)
            print("=== %s" % artifact.name, flush=True)
            artifact.build(r, out)
            print("--- smoke test", flush=True)
            skipped = artifact.smoke(r, out)
            outcomes.append("%s %s (%d bytes)%s" % (
                "built   " if not skipped else "built,  ", artifact.name, os.path.getsize(out),
                ", smoke test " + skipped if skipped else ", smoke-tested"))
    # The builds read the working tree: it must still be the commit the release names.
    if git("rev-parse", "HEAD") != r.commit or (
            git("status", "--porcelain", "--untracked-files=no") and not arguments.allow_dirty):
        raise SystemExit("release: the tracked files changed while the release was built")
    built = sorted(os.listdir(DIST))
    with open(os.path.join(DIST, "SHA256SUMS"), "w", encoding="utf-8", newline="\n") as f:
        for name in built:
            f.write("%s  %s\n" % (sha256(os.path.join(DIST, name)), name))
    print("\n=== Release %s in dist/" % r.version)
    print("\n".join(outcomes))
    print("SHA256SUMS:")
    with open(os.path.join(DIST, "SHA256SUMS"), encoding="utf-8") as f:
        print(f.read().rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
