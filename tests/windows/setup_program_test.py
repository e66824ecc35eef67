#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A setup program under wine, in a fresh prefix of its own, as scripts run it: the x64 setup
under wine64, the x86 one under wine32.

For everyone (/S /ALLUSERS): the files land in Program Files, the uninstall entry under HKLM and
nothing under HKCU; brask.exe runs from there; where the setup carries the codec, WIC
programs decode G00 and PDT through it exactly as brask.exe's PNGs. Then its uninstaller
(/S): no file and no key or value of ours remains. A setup whose regsvr32 fails ends with 3
and leaves nothing either. For the current user (/S): the files land in
the user's local programs folder and every key under HKCU, none under HKLM (wine's COM reads
machine-wide classes only, so this install is judged by what it writes), also when a second
setup, into another folder (/D), replaces the first; its uninstaller leaves nothing either.

setup_program_test.py BUILD SETUP X86_BIN WINE_RUN KIND [WIC_CHECK]
  BUILD: the Windows build whose `setup` target makes SETUP; X86_BIN: the win32 build's
  programs (the x64 setup carries some); WINE_RUN KIND: cmake/wine-run win64 or win32;
  WIC_CHECK: the WIC client (tests/windows/wic_decode_check.cpp), given when there is a codec.
Ends with 77 (skipped) when makensis or the win32 build is missing.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SKIP = 77
UNINSTALL_KEY = r"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\brask"
# What wine changes by itself whenever programs start: device and network enumeration, and the
# deletion of an uninstaller's temporary copy at the next start (all under HKLM\System).
REGISTRY_NOISE = re.compile(r"^(System\\\\|Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards)")


class Prefix:
    """A wine prefix of the test's own, started through cmake/wine-run."""

    def __init__(self, wine_run, path):
        self.wine_run = wine_run
        self.path = path
        self.environment = dict(os.environ, BRASK_WINE64_PREFIX=str(path),
                                BRASK_WINE32_PREFIX=str(path), WINEPREFIX=str(path),
                                WINEDEBUG="-all")

    def run(self, *arguments, check=True, dll_overrides=None):
        """Runs a Windows program and waits for every process of the prefix to end."""
        environment = dict(self.environment)
        if dll_overrides:
            environment["WINEDLLOVERRIDES"] = dll_overrides
        result = subprocess.run([*self.wine_run, *arguments], env=environment,
                                capture_output=True, text=True, errors="replace", timeout=300)
        subprocess.run(["wineserver", "-w"], env=self.environment, timeout=300)
        if check and result.returncode != 0:
            raise AssertionError(f"{' '.join(arguments)} ended with {result.returncode}:\n"
                                 f"{result.stdout}{result.stderr}")
        return result

    def files(self):
        """Every file and folder of drive C, less the temporary folders."""
        drive = self.path / "drive_c"
        return {str(p.relative_to(drive)) for p in drive.rglob("*")
                if "/Temp/" not in f"/{p.relative_to(drive)}/"}

    def registry(self, hive):
        """The hive's keys and values as lines "KEY<TAB>VALUE" (and "KEY<TAB>" for each key)."""
        lines = set()
        key = None
        text = (self.path / hive).read_text(encoding="utf-8", errors="replace")
        for line in text.splitlines():
            header = re.match(r"^\[(.*)\](?: \d+)?$", line)
            if header:
                key = header.group(1)
                parts = key.split("\\\\")
                lines.update("\\\\".join(parts[:n]) + "\t" for n in range(1, len(parts) + 1))
            elif key is not None and line and not line.startswith(("#", ";")):
                lines.add(f"{key}\t{line}")
        return {line for line in lines if not REGISTRY_NOISE.match(line)}

    def snapshot(self):
        return {"files": self.files(), "system.reg": self.registry("system.reg"),
                "user.reg": self.registry("user.reg")}


# Keys that Windows has and owns; unregistering leaves them, empty, where it had to make them
# (a fresh wine prefix lacks some). Per user that is the classes key alone: the lists below it
# exist only when registrations made them, and go when emptied.
WINDOWS_KEYS = {
    "system.reg": {f"{key}\t" for key in (
        r"Software\\Classes", r"Software\\Classes\\CLSID",
        r"Software\\Classes\\SystemFileAssociations",
        r"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
        r"Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem",
        r"Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers")},
    "user.reg": {"Software\\\\Classes\t"},
}


def changes(before, after):
    """What after has that before has not, and what before had that after lost, per part."""
    return {part: (sorted(after[part] - before[part]), sorted(before[part] - after[part]))
            for part in before}


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def expect_unchanged(before, after, what):
    for part, (added, removed) in changes(before, after).items():
        added = [line for line in added if line not in WINDOWS_KEYS.get(part, set())]
        expect(not added and not removed,
               f"{what}: {part} differs from before the install:\n"
               + "".join(f"  + {line}\n" for line in added[:40])
               + "".join(f"  - {line}\n" for line in removed[:40]))


def installed_files(folder, arch, codec):
    """What the setup of arch (x64 or x86) installs in folder."""
    plugin = {"x64": "if_brask_x64.dll", "x86": "if_brask.spi"}[arch]
    names = ["", "brask.exe", plugin, "uninstall.exe", "viewer-plugins",
             "viewer-plugins/README.txt", "viewer-plugins/if_brask.spi"]
    if arch == "x64":
        names.append("viewer-plugins/if_brask_x64.dll")
    if codec:
        names += ["codec", f"codec/{arch}", f"codec/{arch}/brask_wic.dll"]
        if arch == "x64":
            names += ["codec/x86", "codec/x86/brask_wic.dll"]
    return {f"{folder}/{name}".rstrip("/") for name in names}


def new_parents(folder, files_before):
    """The folders above folder that the install has to make."""
    parts = folder.split("/")
    return {"/".join(parts[:n]) for n in range(1, len(parts))} - files_before


def check_install(prefix, before, folder, own_hive, other_hive, arch, codec, wow64):
    """Files exactly as expected; our keys in own_hive only; the uninstall entry's values; the
    32-bit codec's classes (64-bit Windows) exactly where 32-bit programs run."""
    after = prefix.snapshot()
    added, removed = changes(before, after)["files"]
    expected = installed_files(folder, arch, codec) | new_parents(folder, before["files"])
    expect(set(added) == expected and not removed,
           f"the install's files differ: added {added}, removed {removed}")
    added_keys = changes(before, after)[other_hive][0]
    expect(not added_keys, f"the install wrote to {other_hive}: {added_keys[:20]}")
    own = changes(before, after)[own_hive][0]
    windows_folder = "C:\\\\" + folder.replace("/", "\\\\")
    for value in (f'"InstallLocation"="{windows_folder}"',
                  f'"UninstallString"="\\"{windows_folder}\\\\uninstall.exe\\""',
                  '"DisplayVersion"='):
        expect(any(line.startswith(f"{UNINSTALL_KEY}\t{value}") for line in own),
               f"the uninstall entry in {own_hive} lacks {value}: {own}")
    if codec:
        expect(any(line.startswith("Software\\\\Classes\\\\CLSID\\\\") for line in own),
               f"the codec registered no class in {own_hive}")
        classes_32 = any(re.search(r"Wow6432Node.*CLSID", line) for line in own)
        expect(classes_32 == wow64,
               f"32-bit programs {'run' if wow64 else 'do not run'} here, yet the 32-bit codec's classes are {'present' if classes_32 else 'missing'}")


def main():
    build, setup, x86_bin = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    wine_run = sys.argv[4:6]
    wic_check = Path(sys.argv[6]) if len(sys.argv) > 6 else None
    arch = {"win64": "x64", "win32": "x86"}[wine_run[1]]
    codec = wic_check is not None
    status = Path(os.environ.get("BRASK_WINE_STATUS", "/nonexistent"))
    if status.exists() and status.read_text().strip():
        print(f"SKIP: {wine_run[1]} cannot run Windows programs here: {status.read_text().strip()}")
        return SKIP
    if not shutil.which("makensis"):
        print("SKIP: no makensis (Debian package nsis)")
        return SKIP
    needed = [x86_bin / "if_brask.spi"] + ([x86_bin / "brask_wic.dll"] if codec else [])
    missing = [str(path) for path in needed if not path.exists()]
    if missing:
        print(f"SKIP: the x64 setup carries the win32 build's files; build the win32 preset first ({', '.join(missing)} missing)")
        return SKIP
    made = subprocess.run(["cmake", "--build", str(build), "--target", "setup"],
                          capture_output=True, text=True)
    expect(made.returncode == 0, f"making the setup program failed:\n{made.stdout}{made.stderr}")

    work = Path(tempfile.mkdtemp(prefix="setup-test-", dir=build))
    try:
        prefix = Prefix(wine_run, work / "prefix")
        subprocess.run([*wine_run, "--prepare"], env=prefix.environment, check=True)
        drive = work / "prefix/drive_c"
        shutil.copy(setup, drive / "setup.exe")
        # Whether this 64-bit Windows runs 32-bit programs (wine32 installed, and a kernel that
        # runs them): the 32-bit codec is registered exactly then.
        wow64 = False
        if arch == "x64" and (x86_bin / "wine_probe.exe").exists():
            shutil.copy(x86_bin / "wine_probe.exe", drive / "probe32.exe")
            wow64 = prefix.run("C:\\probe32.exe", check=False).returncode == 42
            (drive / "probe32.exe").unlink()
        before = prefix.snapshot()

        # For everyone: HKLM and Program Files.
        prefix.run("C:\\setup.exe", "/S", "/ALLUSERS")
        check_install(prefix, before, "Program Files/brask", "system.reg", "user.reg", arch, codec, wow64)
        # The installed brask.exe: its demo (through the plug-in beside it), then what is stored
        # in each sample as PNG, which WIC's decodes must equal.
        program = "C:\\Program Files\\brask\\brask.exe"
        demo = prefix.run(program, "demo", "C:\\demo")
        prefix.run(program, "convert", "C:\\demo\\samples", "-o", "C:\\demo\\stored")
        samples = sorted((drive / "demo/samples").glob("*.*"))
        pngs = list((drive / "demo/stored").glob("*.png"))
        expect(samples and len(pngs) == len(samples),
               f"the installed brask.exe made {len(samples)} samples and {len(pngs)} PNGs:\n{demo.stdout}{demo.stderr}")
        if codec:
            pairs = []
            for picture in samples:
                pairs += [f"C:\\demo\\samples\\{picture.name}", f"C:\\demo\\stored\\{picture.stem}.png"]
            expect(any(p.endswith(".g00") for p in pairs) and any(p.endswith(".pdt") for p in pairs),
                   "the demo made no G00 or no PDT")
            shutil.copy(wic_check, drive / "wic_decode_check.exe")
            decoded = prefix.run("C:\\wic_decode_check.exe", *pairs, check=False)
            print(decoded.stdout, end="")
            expect(decoded.returncode == 0, f"WIC decodes differ from brask.exe's PNGs:\n{decoded.stderr}")
            (drive / "wic_decode_check.exe").unlink()
        shutil.rmtree(drive / "demo")
        prefix.run("C:\\Program Files\\brask\\uninstall.exe", "/S")
        after_everyone = prefix.snapshot()
        expect_unchanged(before, after_everyone, "after the uninstaller (everyone)")
        print(f"{arch} setup for everyone: installed, used and removed without a trace")

        # For the current user: HKCU and the user's own programs folder.
        if codec:
            # A regsvr32 that fails (a program ending with 42 in its place): the setup ends
            # with 3 and takes back all it did.
            regsvr32 = drive / "windows/system32/regsvr32.exe"
            original = regsvr32.read_bytes()
            shutil.copy(build / "bin/wine_probe.exe", regsvr32)
            failed = prefix.run("C:\\setup.exe", "/S", "/ALLUSERS", check=False,
                                dll_overrides="regsvr32.exe=n")
            regsvr32.write_bytes(original)
            expect(failed.returncode == 3, f"the setup ended with {failed.returncode}, not 3, when regsvr32 failed")
            expect_unchanged(after_everyone, prefix.snapshot(), "after a setup whose regsvr32 failed")
            print(f"{arch} setup whose codec cannot be registered: ended with 3, left nothing")

        # Installed twice, the second time in a folder of the user's choice (/D): the second
        # setup removes the first install before its own.
        before = after_everyone
        prefix.run("C:\\setup.exe", "/S")
        users = [p for p in (drive / "users").iterdir() if p.name != "Public"]
        default_folder = f"users/{users[0].name}/AppData/Local/Programs/brask"
        expect((drive / default_folder / "brask.exe").exists(), f"nothing installed in {default_folder}")
        prefix.run("C:\\setup.exe", "/S", "/D=C:\\brask-elsewhere")
        check_install(prefix, before, "brask-elsewhere", "user.reg", "system.reg", arch, codec, wow64)
        prefix.run("C:\\brask-elsewhere\\uninstall.exe", "/S")
        expect_unchanged(before, prefix.snapshot(), "after the uninstaller (current user)")
        print(f"{arch} setup for the current user: installed and removed without a trace")
    finally:
        subprocess.run(["wineserver", "-k"], env=prefix.environment, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except AssertionError as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)
