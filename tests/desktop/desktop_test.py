# SPDX-License-Identifier: MIT
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
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

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


def write_corpus_files(folder):
    """The whole-file fuzz corpora (the G00 and PDT handlers'), each without its first byte,
    which picks the fuzzer's callback: damaged, cut and hostile pictures of both formats."""
    paths = []
    for target, extension in (("g00_handler", ".g00"), ("pdt_handler", ".pdt")):
        corpus = os.path.join(SOURCE, "fuzz", "corpus", target)
        for n, name in enumerate(sorted(os.listdir(corpus))):
            with open(os.path.join(corpus, name), "rb") as file:
                data = file.read()[1:]
            paths.append(os.path.join(folder, "corpus-%s-%d%s" % (target, n, extension)))
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


def noise_rgba(width, height, seed):
    """RGBA bytes with every alpha from 0 to 255 and colour under alpha 0."""
    return bytes((i * 2654435761 + seed) >> 7 & 0xFF for i in range(width * height * 4))


def write_sprite(path):
    """A type-2 G00 whose listed parts sit at directory places 0, 2 and 5 with their own
    origins; place 2 has no picture of its own but moves the part after it down."""
    parts = [{"index": 0, "width": 30, "height": 20, "origin": (5, 7), "rgba": noise_rgba(30, 20, 1)},
             {"index": 2, "width": 0, "height": 6, "origin": (0, 0)},
             {"index": 5, "width": 44, "height": 13, "origin": (100, 3), "rgba": noise_rgba(44, 13, 2)}]
    with open(path, "wb") as file:
        file.write(brask._library.encode_parts(parts))
    return parts


def described_parts(path):
    with open(path, "rb") as file, brask.Picture(file.read(), path) as picture:
        return [(part.index, part.width, part.height, part.origin_x, part.origin_y, part.top,
                 picture.decode_part_rgba(n) if part.width > 0 and part.height > 0 else None)
                for n, part in ((n, picture.part(n)) for n in range(picture.info.part_count))]


class PillowSave(DesktopTest):
    """Image.save and save_all into G00 and PDT, read back through the C API."""

    def pictures(self):
        rgba = Image.frombytes("RGBA", (23, 11), noise_rgba(23, 11, 5))
        palette = Image.frombytes("P", (23, 11), bytes(i * 7 % 40 for i in range(23 * 11)))
        palette.putpalette(bytes(range(120)))  # 40 entries
        return {"RGBA": rgba, "P": palette, "RGB": rgba.convert("RGB"), "L": rgba.convert("L")}

    def saved(self, image, name, **options):
        path = os.path.join(self.folder, name)
        image.save(path, **options)
        with open(path, "rb") as file, brask.Picture(file.read(), path) as picture:
            info = picture.info
            indexed = picture.decode_indexed() if info.palette_size else None
            return info, picture.decode_rgba(), indexed

    def test_the_mode_follows_the_image_and_what_it_keeps_comes_back(self):
        modes = {("RGBA", "g00"): brask._library.MODE_G00_TYPE2, ("RGBA", "pdt"): brask._library.MODE_PDT10_MASKED,
                 ("P", "g00"): brask._library.MODE_G00_TYPE1, ("P", "pdt"): brask._library.MODE_PDT11,
                 ("RGB", "g00"): brask._library.MODE_G00_TYPE0, ("RGB", "pdt"): brask._library.MODE_PDT10,
                 ("L", "g00"): brask._library.MODE_G00_TYPE0, ("L", "pdt"): brask._library.MODE_PDT10}
        for (kind, extension), mode in modes.items():
            image = self.pictures()[kind]
            with self.subTest(kind=kind, extension=extension):
                info, rgba, indexed = self.saved(image, "x." + extension)
                self.assertEqual(info.mode, mode)
                self.assertEqual(rgba, image.convert("RGBA").tobytes())
                if kind == "P":
                    indexes, palette = indexed
                    self.assertEqual(indexes, image.tobytes())
                    # PDT11 always stores 256 entries: the rest are black.
                    self.assertEqual(palette, bytes(range(120)).ljust(len(palette), b"\0"))
                    self.assertEqual(len(palette), 120 if extension == "g00" else 768)

    def test_mode_and_level_choose_and_alpha_is_dropped_only_when_asked(self):
        image = self.pictures()["RGBA"]
        opaque = self.pictures()["RGB"]
        for mode, extension in (("g00-0", "g00"), ("g00-2", "g00"), ("pdt10", "pdt"), ("pdt10-mask", "pdt")):
            with self.subTest(mode=mode):
                info, rgba, _ = self.saved(opaque, "x." + extension, mode=mode, level=0)
                self.assertEqual(info.mode, brask._library.MODES[mode])
                self.assertEqual(rgba, opaque.convert("RGBA").tobytes())
        with self.assertRaises(brask.BraskError) as caught:
            self.saved(image, "lost.pdt", mode="pdt10")
        self.assertIn("alpha", str(caught.exception))
        self.assertFalse(os.path.exists(os.path.join(self.folder, "lost.pdt")))
        _, rgba, _ = self.saved(image, "dropped.pdt", mode="pdt10", drop_alpha=True)
        self.assertEqual(rgba, opaque.convert("RGBA").tobytes())
        with self.assertRaises(ValueError):
            self.saved(image, "wrong.pdt", mode="g00-2")
        many = Image.frombytes("RGB", (20, 20), b"".join(bytes((i & 0xFF, i >> 8, 9)) for i in range(400)))
        with self.assertRaises(brask.BraskError) as caught:
            self.saved(many, "many.g00", mode="g00-1")
        self.assertIn("256", str(caught.exception))
        with self.assertRaises(brask.BraskError):
            self.saved(opaque, "x.g00", level=12)

    def test_save_all_round_trips_a_sprite(self):
        source = os.path.join(self.folder, "sprite.g00")
        write_sprite(source)
        again = os.path.join(self.folder, "again.g00")
        with Image.open(source) as sprite:
            sprite.save(again, save_all=True)
            self.assertEqual(sprite.tell(), 0)
        # The part without a picture of its own is no frame, and keeps its place all the same.
        self.assertEqual(described_parts(again), described_parts(source))
        with Image.open(again) as reopened:
            self.assertEqual([part["top"] for part in reopened.info["parts"]], [0, 20, 26])
        # Edited as copies of the part frames, which keep their entries.
        with Image.open(source) as sprite:
            parts = []
            for frame in range(1, sprite.n_frames):
                sprite.seek(frame)
                parts.append(sprite.convert("RGBA"))
        parts[1].paste((255, 0, 0, 255), (0, 0, 4, 4))
        edited = os.path.join(self.folder, "edited.g00")
        parts[0].save(edited, save_all=True, append_images=parts[1:])
        want = described_parts(source)
        want[2] = want[2][:6] + (parts[1].tobytes(),)
        self.assertEqual(described_parts(edited), want)

    def test_save_all_stacks_frames_that_are_no_parts(self):
        first = Image.frombytes("RGBA", (10, 5), noise_rgba(10, 5, 7))
        second = Image.frombytes("RGB", (7, 3), noise_rgba(7, 3, 8)[:7 * 3 * 3])
        path = os.path.join(self.folder, "stacked.g00")
        first.save(path, save_all=True, append_images=[second])
        self.assertEqual(described_parts(path),
                         [(0, 10, 5, 0, 0, 0, first.tobytes()),
                          (1, 7, 3, 0, 0, 5, second.convert("RGBA").tobytes())])
        with Image.open(path) as stacked:
            self.assertEqual(stacked.size, (10, 8))


# One Script-Fu program: describes and writes out every layer of each picture GIMP loads,
# exports each in a mode, and loads files no decoder may accept. Errors inside a step are
# caught, so one failure never stops the rest; the describing file says what happened.
GIMP_SCRIPT = r"""
(let ((port (open-output-file "%(report)s")))
  (define (line . fields)
    (for-each (lambda (field) (display field port) (display "	" port)) fields)
    (newline port))
  (define (load path) (car (gimp-file-load RUN-NONINTERACTIVE path path)))
  ; Describes the picture at `path`, then (unless export-to is #f) exports it in `mode`.
  (define (describe path out export-to mode)
    (let* ((image (load path)) (found (gimp-image-get-layers image)))
      (line "image" path (car (gimp-image-base-type image)) (car (gimp-image-width image))
            (car (gimp-image-height image)) (car found))
      (let loop ((n 0))
        (when (< n (car found))
          (let* ((layer (vector-ref (cadr found) n))
                 (offsets (gimp-drawable-offsets layer))
                 (png (string-append out "-layer" (number->string n) ".png")))
            (file-png-save2 RUN-NONINTERACTIVE image layer png png 0 1 0 0 0 0 0 0 1)
            (line "layer" path n (car (gimp-item-get-name layer)) (car offsets) (cadr offsets)
                  (catch "none" (caddr (car (gimp-item-get-parasite layer "brask-part")))) png))
          (loop (+ n 1))))
      (when export-to (export image path export-to mode))
      (gimp-image-delete image)))
  (define (export image path out mode)
    (let ((layer (vector-ref (cadr (gimp-image-get-layers image)) 0)))
      (if (string=? (substring out (- (string-length out) 4)) ".g00")
          (file-g00-save RUN-NONINTERACTIVE image layer out out mode -1)
          (file-pdt-save RUN-NONINTERACTIVE image layer out out mode -1))
      (line "exported" path out)))
  %(steps)s
  (line "done")
  (close-output-port port))
"""


class Gimp(DesktopTest):
    """GIMP 2.10 with the plug-in, headless (gimp-console in batch mode, a private profile):
    what it loads and exports against what the C API decodes."""

    needs_programs = ("gimp-console-2.10",)

    @classmethod
    def setUpClass(cls):
        cls.ran = None

    def setUp(self):
        plugin = os.environ.get("BRASK_GIMP_PLUGIN", "")
        if not plugin:
            self.skipTest("the GIMP plug-in was not built (libgimp2.0-dev is missing)")
        super().setUp()
        if Gimp.ran is None:
            Gimp.ran = self.run_gimp(plugin)

    def run_gimp(self, plugin):
        """Runs GIMP once for every test: ~10 s a start."""
        work = tempfile.mkdtemp(dir=WORK)
        profile = os.path.join(work, "profile")
        for folder in ("plug-ins/file-brask", "gradients"):
            os.makedirs(os.path.join(profile, folder))
        shutil.copy(plugin, os.path.join(profile, "plug-ins", "file-brask"))
        sprite = os.path.join(work, "sprite.g00")
        write_sprite(sprite)
        unnamed = os.path.join(work, "picture.bin")
        shutil.copy(os.path.join(SAMPLES, "tiles-pdt11.pdt"), unnamed)
        loads = sample_paths() + [sprite, unnamed]
        exports = {}
        steps = []
        for n, path in enumerate(loads):
            export_to, mode = "#f", ""
            if path != unnamed:
                mode = "g00-2" if path == sprite else \
                    os.path.basename(path).split("-", 1)[1].rsplit(".", 1)[0]
                exports[path] = os.path.join(work, "exported-" + os.path.basename(path))
                export_to = '"%s"' % exports[path]
            steps.append('(catch (line "failed" "%s") (describe "%s" "%s" %s "%s"))'
                         % (path, path, os.path.join(work, "%d" % n), export_to, mode))
        # Written in the mode the image suggests: an indexed image as indexed.
        default_out = os.path.join(work, "default-tiles.pdt")
        steps.append('(catch (line "failed" "%s") (let ((image (load "%s"))) (export image "%s" "%s" "")'
                     ' (gimp-image-delete image)))' % (default_out, unnamed, unnamed, default_out))
        hostile = write_hostile(work)
        for path in hostile:
            steps.append("(catch (line \"refused\" \"%s\") (load \"%s\"))" % (path, path))
        # Hundreds of files: GIMP lists the folder itself (a command line holds no more).
        corpus_folder = os.path.join(work, "corpus")
        os.makedirs(corpus_folder)
        corpus = write_corpus_files(corpus_folder)
        steps.append('(for-each (lambda (path) (catch (line "corpus" path)'
                     ' (gimp-image-delete (load path)) (line "corpus" path)))'
                     ' (cadr (file-glob "%s/*" 1)))' % corpus_folder)
        report = os.path.join(work, "report.tsv")
        script = GIMP_SCRIPT % {"report": report, "steps": "\n  ".join(steps)}
        environment = dict(os.environ, GIMP2_DIRECTORY=profile)
        done = subprocess.run(["gimp-console-2.10", "-i", "-d", "-f", "-b", script, "-b", "(gimp-quit 0)"],
                              env=environment, capture_output=True, text=True, timeout=600)
        # Its exit status is always 0: the report and the messages say what happened.
        lines = []
        if os.path.exists(report):
            with open(report) as file:
                lines = [line.rstrip("\t\n").split("\t") for line in file]
        return {"lines": lines, "stderr": done.stderr, "loads": loads, "exports": exports,
                "default": (unnamed, default_out), "hostile": hostile, "sprite": sprite,
                "corpus": corpus}

    def lines(self, kind):
        return [line[1:] for line in self.ran["lines"] if line[0] == kind]

    def test_batch_ran_to_the_end_and_nothing_failed(self):
        self.assertEqual(self.lines("done"), [[]], self.ran["stderr"])
        self.assertEqual(self.lines("failed"), [], self.ran["stderr"])

    def test_loaded_layers_have_the_api_places_and_pixels(self):
        images = {line[0]: line for line in self.lines("image")}
        layers = self.lines("layer")
        self.assertEqual(sorted(images), sorted(self.ran["loads"]), self.ran["stderr"])
        for path in self.ran["loads"]:
            with self.subTest(path=path), open(path, "rb") as file, \
                    brask.Picture(file.read(), path) as picture:
                info = picture.info
                base_type, width, height, count = map(int, images[path][1:5])
                self.assertEqual((width, height), (info.width, info.height))
                self.assertEqual(base_type, 2 if info.palette_size else 0)
                mine = [line for line in layers if line[0] == path]
                if info.part_count:
                    parts = [picture.part(n) for n in range(info.part_count)]
                    shown = [(n, part) for n, part in enumerate(parts) if part.width > 0 and part.height > 0]
                    self.assertEqual(count, len(shown))
                    # Later parts are drawn over earlier ones, so they sit higher in the stack.
                    for line, (n, part) in zip(mine, reversed(shown)):
                        _, _, name, x, y, entry, png = line
                        self.assertEqual(name, "part %d" % part.index)
                        self.assertEqual((int(x), int(y)), (0, part.top))
                        self.assertEqual(entry, "%d %d %d" % (part.index, part.origin_x, part.origin_y))
                        with Image.open(png) as layer:
                            self.assertEqual(layer.convert("RGBA").tobytes(), picture.decode_part_rgba(n))
                    continue
                self.assertEqual(count, 1)
                with Image.open(mine[0][6]) as layer:
                    if info.palette_size:
                        indexes, palette = picture.decode_indexed()
                        self.assertEqual(layer.mode, "P")
                        self.assertEqual(layer.tobytes(), indexes)
                        self.assertEqual(bytes(layer.getpalette()[:len(palette)]), palette)
                    else:
                        self.assertEqual(layer.mode, "RGBA" if info.has_alpha else "RGB")
                        self.assertEqual(layer.convert("RGBA").tobytes(), picture.decode_rgba())

    def test_exported_files_decode_to_what_was_loaded(self):
        exported = [line[1] for line in self.lines("exported")]
        for source, out in self.ran["exports"].items():
            with self.subTest(source=source):
                self.assertIn(out, exported, self.ran["stderr"])
                with open(source, "rb") as file, brask.Picture(file.read(), source) as want, \
                        open(out, "rb") as file, brask.Picture(file.read(), out) as have:
                    self.assertEqual(have.info.mode, want.info.mode)
                    self.assertEqual(have.decode_rgba(), want.decode_rgba())
                    if want.info.palette_size:
                        self.assertEqual(have.decode_indexed(), want.decode_indexed())
        # The sprite's parts come back with their indexes, origins, places and pixels, the
        # part without a picture of its own (no layer) included.
        sprite = self.ran["sprite"]
        self.assertEqual(described_parts(self.ran["exports"][sprite]), described_parts(sprite))
        unnamed, default_out = self.ran["default"]
        with open(default_out, "rb") as file, brask.Picture(file.read(), default_out) as picture:
            self.assertEqual(picture.info.mode, brask._library.MODE_PDT11)

    def test_fuzz_corpus_files_open_or_are_refused_and_gimp_goes_on(self):
        # Each file answers once, opened or refused, and the plug-in's process never dies:
        # GIMP outlives a crashed plug-in, but says so.
        answered = sorted(line[0] for line in self.lines("corpus"))
        self.assertEqual(answered, sorted(self.ran["corpus"]), self.ran["stderr"][-2000:])
        self.assertNotIn("Plug-in crashed", self.ran["stderr"])

    def test_files_no_decoder_accepts_are_refused_in_words(self):
        self.assertEqual(sorted(line[0] for line in self.lines("refused")), sorted(self.ran["hostile"]))
        self.assertIn("brask: cannot open the picture", self.ran["stderr"])


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
