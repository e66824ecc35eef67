"""The pictures in the programs people use, run as those programs run them: gio, the
gdk-pixbuf thumbnailer, GdkPixbuf through python3-gi, and Pillow. Pixels are compared with
what the C API decodes for the same file (brask.Picture, straight from the library).

usage: desktop_test.py WORK CLASS   (WORK as prepare_desktop.sh left it)
Exits 77 when a test could not run (a host program or Python module is missing), naming it.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

WORK = sys.argv[1] if len(sys.argv) > 1 else ""
SAMPLES = os.path.join(WORK, "demo", "samples")

try:
    import brask
    from PIL import Image
except ImportError as error:  # reported by each test as a skip
    brask = Image = None
    IMPORT_ERROR = str(error)


def sample_paths():
    return sorted(os.path.join(SAMPLES, name) for name in os.listdir(SAMPLES))


def api_rgba(path):
    with open(path, "rb") as file, brask.Picture(file.read(), path) as picture:
        return picture.info, picture.decode_rgba()


def premultiplied_means(rgba):
    """The mean of red, green and blue each times alpha, and of alpha, over all pixels."""
    count = len(rgba) // 4
    alphas = rgba[3::4]
    return [sum(c * a for c, a in zip(rgba[channel::4], alphas)) / 255 / count
            for channel in range(3)] + [sum(alphas) / count]


def drop_alpha(rgba):
    return b"".join(rgba[i:i + 3] for i in range(0, len(rgba), 4))


def write_hostile(folder):
    """Files that no decoder may accept: a picture that claims far more memory than any limit
    allows, a type that does not exist, and nothing at all."""
    contents = {
        "claims_17_gib.g00": bytes([0, 0xff, 0xff, 0xff, 0xff]) + b"\x10\0\0\0" * 2 + b"\0" * 8,
        "unknown_type.g00": bytes([7, 1, 0, 1, 0]) + b"\0" * 16,
        "empty.g00": b"",
    }
    paths = []
    for name, data in contents.items():
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "wb") as file:
            file.write(data)
    return paths


class DesktopTest(unittest.TestCase):
    needs_programs = ()
    needs_modules = True

    def setUp(self):
        if self.needs_modules and brask is None:
            self.skipTest("Python module missing: %s" % IMPORT_ERROR)
        for program in self.needs_programs:
            if shutil.which(program) is None:
                self.skipTest("%s is not installed" % program)
        self.folder = tempfile.mkdtemp(dir=WORK)

    def tearDown(self):
        if hasattr(self, "folder"):
            shutil.rmtree(self.folder, ignore_errors=True)


class MimeTypes(DesktopTest):
    needs_programs = ("gio", "update-mime-database")

    def content_type(self, path):
        output = subprocess.run(["gio", "info", "-a", "standard::content-type", path], check=True,
                                capture_output=True, text=True).stdout
        return output.split("standard::content-type:")[1].strip()

    def test_every_sample_has_its_type_by_name(self):
        for path in sample_paths():
            want = "image/x-g00" if path.endswith(".g00") else "image/x-pdt"
            self.assertEqual(self.content_type(path), want, path)

    def test_names_in_capitals_and_pdt_by_its_signature(self):
        g00 = next(p for p in sample_paths() if p.endswith(".g00"))
        pdt = next(p for p in sample_paths() if p.endswith(".pdt"))
        capitals = os.path.join(self.folder, "SPRITE.G00")
        unnamed = os.path.join(self.folder, "picture.bin")
        shutil.copy(g00, capitals)
        shutil.copy(pdt, unnamed)
        self.assertEqual(self.content_type(capitals), "image/x-g00")
        self.assertEqual(self.content_type(unnamed), "image/x-pdt")


class Thumbnailer(DesktopTest):
    needs_programs = ("gdk-pixbuf-thumbnailer",)

    def test_every_sample_gives_a_thumbnail_of_its_colours(self):
        for path in sample_paths():
            with self.subTest(path=path):
                out = os.path.join(self.folder, "thumbnail.png")
                subprocess.run(["gdk-pixbuf-thumbnailer", "-s", "256", path, out], check=True)
                info, rgba = api_rgba(path)
                with Image.open(out) as thumbnail:
                    longer = max(info.width, info.height)
                    want = (round(info.width * 256 / longer), round(info.height * 256 / longer))
                    self.assertLessEqual(abs(thumbnail.width - want[0]), 1, thumbnail.size)
                    self.assertLessEqual(abs(thumbnail.height - want[1]), 1, thumbnail.size)
                    self.assertEqual(thumbnail.mode, "RGBA" if info.has_alpha else "RGB")
                    # Scaled, so not equal: the same colours on average, weighted by alpha
                    # (scaling blends premultiplied colours). A swapped channel, lost alpha or
                    # garbage moves some mean by far more.
                    have = premultiplied_means(thumbnail.convert("RGBA").tobytes())
                    for have_mean, want_mean in zip(have, premultiplied_means(rgba)):
                        self.assertAlmostEqual(have_mean, want_mean, delta=10)

    def test_hostile_files_fail_without_crashing(self):
        for path in write_hostile(self.folder):
            done = subprocess.run(["gdk-pixbuf-thumbnailer", "-s", "256", path,
                                   os.path.join(self.folder, "out.png")], capture_output=True)
            self.assertGreater(done.returncode, 0, path)  # an error, not a signal


class PixbufLoader(DesktopTest):
    def setUp(self):
        super().setUp()
        try:
            import gi
            gi.require_version("GdkPixbuf", "2.0")
            from gi.repository import GdkPixbuf, GLib
        except (ImportError, ValueError) as error:
            self.skipTest("python3-gi with gir1.2-gdkpixbuf-2.0 is needed: %s" % error)
        self.GdkPixbuf, self.GLib = GdkPixbuf, GLib

    def assertPixbufEqualsApi(self, pixbuf, path):
        info, rgba = api_rgba(path)
        self.assertEqual((pixbuf.get_width(), pixbuf.get_height()), (info.width, info.height))
        self.assertEqual(pixbuf.get_has_alpha(), bool(info.has_alpha))
        channels = pixbuf.get_n_channels()
        row_bytes = info.width * channels
        pixels = pixbuf.get_pixels()
        rows = b"".join(pixels[y * pixbuf.get_rowstride():][:row_bytes] for y in range(info.height))
        self.assertEqual(rows, rgba if channels == 4 else drop_alpha(rgba))

    def test_new_from_file_gives_the_api_pixels(self):
        for path in sample_paths():
            with self.subTest(path=path):
                self.assertPixbufEqualsApi(self.GdkPixbuf.Pixbuf.new_from_file(path), path)

    def test_new_from_file_at_size_fits_the_box(self):
        for path in sample_paths():
            with self.subTest(path=path):
                info, _ = api_rgba(path)
                pixbuf = self.GdkPixbuf.Pixbuf.new_from_file_at_size(path, 40, 40)
                self.assertEqual(max(pixbuf.get_width(), pixbuf.get_height()), 40)
                self.assertEqual(pixbuf.get_has_alpha(), bool(info.has_alpha))

    def test_loader_fed_in_pieces_and_file_info(self):
        for path in sample_paths():
            with self.subTest(path=path):
                with open(path, "rb") as file:
                    data = file.read()
                mime = "image/x-g00" if path.endswith(".g00") else "image/x-pdt"
                loader = self.GdkPixbuf.PixbufLoader.new_with_mime_type(mime)
                for start in range(0, len(data), 777):
                    loader.write(data[start:start + 777])
                loader.close()
                self.assertPixbufEqualsApi(loader.get_pixbuf(), path)
                # Asks for the size only: the loader is told to stop once it is known.
                file_format, width, height = self.GdkPixbuf.Pixbuf.get_file_info(path)
                self.assertEqual(file_format.get_name(), "brask")
                info, _ = api_rgba(path)
                self.assertEqual((width, height), (info.width, info.height))

    def test_hostile_files_give_an_error_with_words(self):
        for path in write_hostile(self.folder):
            with self.assertRaises(self.GLib.Error) as caught:
                self.GdkPixbuf.Pixbuf.new_from_file(path)
            self.assertTrue(caught.exception.message, path)


class Pillow(DesktopTest):
    def test_every_sample_opens_with_its_mode_and_the_api_pixels(self):
        for path in sample_paths():
            with self.subTest(path=path), Image.open(path) as image:
                info, rgba = api_rgba(path)
                self.assertEqual(image.format, "G00" if path.endswith(".g00") else "PDT")
                self.assertEqual(image.size, (info.width, info.height))
                self.assertEqual(image.mode, "RGBA" if info.has_alpha else
                                 "P" if info.palette_size else "RGB")
                self.assertEqual(image.convert("RGBA").tobytes(), rgba)
                if image.mode == "P":
                    with open(path, "rb") as file, brask.Picture(file.read(), path) as picture:
                        indexes, palette = picture.decode_indexed()
                    self.assertEqual(image.tobytes(), indexes)
                    self.assertEqual(bytes(image.getpalette()[:len(palette)]), palette)

    def test_parts_are_frames_after_the_composed_picture(self):
        parted = [p for p in sample_paths() if p.endswith("g00-2.g00")]
        self.assertTrue(parted)
        for path in parted:
            with self.subTest(path=path), Image.open(path) as image, \
                    open(path, "rb") as file, brask.Picture(file.read(), path) as picture:
                parts = [n for n in range(picture.info.part_count)
                         if picture.part(n).width > 0 and picture.part(n).height > 0]
                self.assertEqual(image.n_frames, 1 + len(parts))
                for frame, n in enumerate(parts, start=1):
                    image.seek(frame)
                    part = picture.part(n)
                    self.assertEqual(image.tell(), frame)
                    self.assertEqual(image.size, (part.width, part.height))
                    self.assertEqual(image.info["part"]["index"], part.index)
                    self.assertEqual(image.tobytes(), picture.decode_part_rgba(n))
                image.seek(0)
                self.assertEqual(image.tobytes(), picture.decode_rgba())
                with self.assertRaises(EOFError):
                    image.seek(image.n_frames)

    def test_g00_needs_its_name_and_hostile_files_are_refused(self):
        g00 = next(p for p in sample_paths() if p.endswith(".g00"))
        renamed = os.path.join(self.folder, "picture.bin")
        shutil.copy(g00, renamed)
        with self.assertRaises(Image.UnidentifiedImageError):
            Image.open(renamed)
        for path in write_hostile(self.folder):
            with self.assertRaises(OSError):
                with Image.open(path) as image:
                    image.load()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    suite = unittest.defaultTestLoader.loadTestsFromName(sys.argv[2], sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    if result.skipped:
        print("SKIPPED: " + "; ".join(sorted({reason for _, reason in result.skipped})))
        sys.exit(77)


if __name__ == "__main__":
    main()
