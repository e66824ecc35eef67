# SPDX-License-Identifier: MIT
"""Pillow reads G00 and PDT pictures through the brask C API.

Modes: RGBA for the pictures that store alpha (masked PDT10, G00 type 2), P with the
picture's own palette for the indexed ones (G00 type 1, PDT11), RGB for the rest. A type-2
G00's parts are frames: frame 0 is the composed picture, then every part that has a picture
of its own, in directory order; `info["part"]` describes the part shown, and `info["parts"]`
the whole directory (index, width, height, origin, top of every part).

Saving: `image.save("x.pdt")` or `image.save("x.g00")` writes the mode the image suggests
(RGBA: masked PDT10 or type-2 G00; P: PDT11 or type-1 G00 with its palette; RGB and the
rest: PDT10 or type-0 G00), or the one `mode=` names; `level=` (0..9) sets the encoder's
effort and `drop_alpha=True` lets an opaque mode take a picture with alpha. `save_all` writes
a type-2 G00 from the frames: those that carry `info["part"]` are the parts (frame 0, the
composed picture, is then left out, and the parts without pictures of their own that
`info["parts"]` lists keep their places), else every frame is a part, stacked in order.
"""

import os

from PIL import Image, ImageFile, ImagePalette

from . import _library

FORMAT_G00 = "G00"
FORMAT_PDT = "PDT"
_DECODER = "brask"
_PDT_SIGNATURE = b"PDT1"
# No picture the library decodes by default comes from a larger file.
_LARGEST_FILE_BYTES = 1 << 30


def _set_mode(image, mode):
    # Pillow 10.1 made Image.mode a read-only property over _mode; 9.4 keeps a plain attribute.
    if isinstance(getattr(type(image), "mode", None), property):
        image._mode = mode
    else:
        image.mode = mode


def _describe(part):
    return {"index": part.index, "width": part.width, "height": part.height,
            "origin": (part.origin_x, part.origin_y), "top": part.top}


class _BraskImageFile(ImageFile.ImageFile):
    def _open(self):
        name = self.filename or getattr(self.fp, "name", "")
        if not self._accepts_name(name if isinstance(name, str) else os.fsdecode(name)):
            raise SyntaxError("not a %s file" % self.format)
        data = self.fp.read(_LARGEST_FILE_BYTES + 1)
        if len(data) > _LARGEST_FILE_BYTES:
            raise SyntaxError("too large to be a %s file" % self.format)
        try:
            self._picture = _library.Picture(data, "picture." + self.format.lower())
        except _library.BraskError as error:
            raise SyntaxError(str(error)) from error
        info = self._picture.info
        if _FORMATS[info.format] != self.format:
            raise SyntaxError("not a %s file" % self.format)
        # Frame 0 is the whole picture; the parts that have pixels of their own follow.
        self._frame_parts = [None] + [n for n in range(info.part_count)
                                      if self._picture.part(n).width > 0
                                      and self._picture.part(n).height > 0]
        self._frame = 0
        if info.part_count:
            # The whole directory, parts without pictures of their own too, which save_all
            # writes back in their places.
            self.info["parts"] = [_describe(self._picture.part(n)) for n in range(info.part_count)]
        # A picture with parts is loaded once per frame, and Pillow would close the file after
        # the first; like its own multi-frame formats, it keeps the file in _fp for close().
        if len(self._frame_parts) > 1:
            self._close_exclusive_fp_after_loading = False
            self._fp = self.fp
        self._show_frame(0)

    def _accepts_name(self, name):
        return True

    @property
    def n_frames(self):
        return len(self._frame_parts)

    @property
    def is_animated(self):
        return False

    def seek(self, frame):
        if not self._seek_check(frame):
            return
        # Loading leaves fp None; the next frame's load gets the file back, as GIF's does.
        if self.fp is None and getattr(self, "_fp", None) is not None:
            self.fp = self._fp
        self._show_frame(frame)

    def tell(self):
        return self._frame

    def _show_frame(self, frame):
        self._frame = frame
        info = self._picture.info
        part_number = self._frame_parts[frame]
        self.info.pop("part", None)
        if part_number is None:
            size = (info.width, info.height)
            if info.has_alpha:
                mode = "RGBA"
            elif info.palette_size > 0:
                mode = "P"
            else:
                mode = "RGB"
        else:
            part = self._picture.part(part_number)
            size = (part.width, part.height)
            mode = "RGBA"
            self.info["part"] = {"index": part.index, "origin": (part.origin_x, part.origin_y),
                                 "top": part.top}
        self._size = size
        _set_mode(self, mode)
        self.palette = None
        self._decoded_palette = None
        self.tile = [(_DECODER, (0, 0) + size, 0, (self._decode_frame,))]

    def _decode_frame(self):
        """The shown frame's pixels and their raw mode; keeps an indexed picture's palette."""
        part_number = self._frame_parts[self._frame]
        if part_number is not None:
            return self._picture.decode_part_rgba(part_number), "RGBA"
        if self.mode == "P":
            indexes, self._decoded_palette = self._picture.decode_indexed()
            return indexes, "P"
        return self._picture.decode_rgba(), "RGBA" if self.mode == "RGBA" else "RGBX"

    # The picture's bytes were read when it was opened: loading reads nothing from the file.
    def load_read(self, size):
        return b""

    def load_seek(self, offset):
        pass

    def load_end(self):
        if self._decoded_palette is not None:
            self.palette = ImagePalette.raw("RGB", self._decoded_palette)


class _BraskDecoder(ImageFile.PyDecoder):
    _pulls_fd = True

    def decode(self, buffer):
        (decode_frame,) = self.args
        self.set_as_raw(*decode_frame())
        return -1, 0


class G00ImageFile(_BraskImageFile):
    format = FORMAT_G00
    format_description = "G00 picture"

    def _accepts_name(self, name):
        # G00 has no signature: only a .g00 name says a file is one.
        return name.lower().endswith(".g00")


class PdtImageFile(_BraskImageFile):
    format = FORMAT_PDT
    format_description = "PDT picture"


_INDEXED_MODES = ("g00-1", "pdt11")
_ALPHA_MODES = ("g00-2", "pdt10-mask")
_DEFAULT_MODES = {FORMAT_G00: {"RGBA": "g00-2", "P": "g00-1", "RGB": "g00-0"},
                  FORMAT_PDT: {"RGBA": "pdt10-mask", "P": "pdt11", "RGB": "pdt10"}}


def _has_alpha(image):
    return image.mode in ("RGBA", "RGBa", "LA", "La", "PA")


def _chosen_mode(image, file_format):
    """The mode asked for with mode=, or the one the image suggests; ValueError for a mode of
    the other format."""
    defaults = _DEFAULT_MODES[file_format]
    mode = image.encoderinfo.get("mode")
    if mode is None:
        kind = image.mode if image.mode in defaults else "RGBA" if _has_alpha(image) else "RGB"
        return defaults[kind]
    if mode not in defaults.values():
        raise ValueError("brask: a %s file takes the modes %s, not %r"
                         % (file_format, ", ".join(sorted(defaults.values())), mode))
    return mode


def _encode_frame(image, mode):
    level = image.encoderinfo.get("level")
    if mode in _INDEXED_MODES and image.mode == "P":
        palette = bytes(image.getpalette("RGB") or b"")[:256 * 3]
        return _library.encode_indexed(mode, image.tobytes(), image.width, image.height,
                                       palette, level)
    rgba = image if image.mode == "RGBA" else image.convert("RGBA")
    return _library.encode_rgba(mode, rgba.tobytes(), image.width, image.height, level,
                                bool(image.encoderinfo.get("drop_alpha", False)))


def _save(file_format):
    def save(image, fp, filename):
        fp.write(_encode_frame(image, _chosen_mode(image, file_format)))
    return save


def _frames(image):
    """Each frame of the image, then of append_images, as (RGBA copy, its info["part"])."""
    images = [image] + list(image.encoderinfo.get("append_images", []))
    for source in images:
        start = source.tell() if hasattr(source, "tell") else 0
        try:
            for frame in range(getattr(source, "n_frames", 1)):
                source.seek(frame)
                yield source.convert("RGBA"), source.info.get("part")
        finally:
            source.seek(start)


def _save_all_g00(image, fp, filename):
    mode = image.encoderinfo.get("mode", "g00-2")
    if mode != "g00-2":
        raise ValueError("brask: save_all writes a type-2 G00 (mode g00-2), not %r" % mode)
    frames = list(_frames(image))
    described = {part["index"]: frame for frame, part in frames if part is not None}
    parts = []
    if described:
        # The parts with their entries, in directory order; those without pictures of their
        # own come from the directory the sprite was opened with, so every part keeps its place.
        entries = {entry["index"]: entry for entry in image.info.get("parts", [])}
        for _, part in frames:
            if part is not None:
                entries.setdefault(part["index"], part)
        for index in sorted(entries):
            entry, frame = entries[index], described.get(index)
            if frame is None and entry.get("width", 0) > 0 and entry.get("height", 0) > 0:
                continue  # a part whose frame was not given
            part = {"index": index, "origin": tuple(entry["origin"]),
                    "width": entry.get("width", 0), "height": entry.get("height", 0)}
            if frame is not None:
                part.update(width=frame.width, height=frame.height, rgba=frame.tobytes())
            parts.append(part)
    else:
        parts = [{"width": frame.width, "height": frame.height, "rgba": frame.tobytes()}
                 for frame, _ in frames]
    fp.write(_library.encode_parts(parts, image.encoderinfo.get("level")))


_FORMATS = {_library.FORMAT_G00: FORMAT_G00, _library.FORMAT_PDT: FORMAT_PDT}


def _accept_pdt(prefix):
    return prefix[:4] == _PDT_SIGNATURE


def _accept_any(prefix):
    # G00 is told by the name, which only the image file sees.
    return True


def register():
    Image.register_decoder(_DECODER, _BraskDecoder)
    Image.register_open(FORMAT_PDT, PdtImageFile, _accept_pdt)
    Image.register_extensions(FORMAT_PDT, [".pdt"])
    Image.register_mime(FORMAT_PDT, "image/x-pdt")
    Image.register_open(FORMAT_G00, G00ImageFile, _accept_any)
    Image.register_extensions(FORMAT_G00, [".g00"])
    Image.register_mime(FORMAT_G00, "image/x-g00")
    Image.register_save(FORMAT_PDT, _save(FORMAT_PDT))
    Image.register_save(FORMAT_G00, _save(FORMAT_G00))
    Image.register_save_all(FORMAT_G00, _save_all_g00)
    # Both go first: some formats have no signature either (TGA), and one of them tried
    # earlier could take a .g00 file for its own. Ours refuse anything else at once.
    for format_id in (FORMAT_G00, FORMAT_PDT):
        Image.ID.remove(format_id)
        Image.ID.insert(0, format_id)
