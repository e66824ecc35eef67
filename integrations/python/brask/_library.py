# SPDX-License-Identifier: MIT
"""The brask C API through ctypes: opening a picture, describing it, decoding its pixels, and
writing pictures in every mode.

The shared library is looked for beside this package first, then wherever the system's
dynamic loader looks (its cache, LD_LIBRARY_PATH). Every call's result is checked; a failure
raises BraskError with the library's own words for it.
"""

import ctypes
import os
import threading

LIBRARY_NAME = "libbrask.so.1"

FORMAT_G00 = 1
FORMAT_PDT = 2

MODE_G00_TYPE0 = 1
MODE_G00_TYPE1 = 2
MODE_G00_TYPE2 = 3
MODE_PDT10 = 4
MODE_PDT10_MASKED = 5
MODE_PDT11 = 6

# The modes by the names `brask encode --mode` takes.
MODES = {"g00-0": MODE_G00_TYPE0, "g00-1": MODE_G00_TYPE1, "g00-2": MODE_G00_TYPE2,
         "pdt10": MODE_PDT10, "pdt10-mask": MODE_PDT10_MASKED, "pdt11": MODE_PDT11}
DEFAULT_LEVEL = -1

_OK = 0
_EXPLANATION_SIZE = 256  # BRASK_EXPLANATION_SIZE


class BraskError(OSError):
    """A picture that cannot be opened or decoded; `result` is the C API's result code."""

    def __init__(self, result, message):
        super().__init__(message)
        self.result = result


class Info(ctypes.Structure):
    _fields_ = [(name, ctypes.c_uint32) for name in
                ("format", "mode", "width", "height", "has_alpha", "palette_size", "part_count")]


class Part(ctypes.Structure):
    _fields_ = [("index", ctypes.c_uint32), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32), ("origin_x", ctypes.c_uint32),
                ("origin_y", ctypes.c_uint32), ("top", ctypes.c_uint32)]


class EncodeOptions(ctypes.Structure):
    _fields_ = [("level", ctypes.c_int32), ("drop_alpha", ctypes.c_uint32)]


class EncodePart(ctypes.Structure):
    _fields_ = [("index", ctypes.c_uint32), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32), ("origin_x", ctypes.c_uint32),
                ("origin_y", ctypes.c_uint32), ("rgba", ctypes.c_char_p),
                ("stride", ctypes.c_size_t)]


_library = None
_library_lock = threading.Lock()


def _candidates():
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_NAME)
    return [beside, os.path.join(os.path.dirname(os.path.dirname(beside)), LIBRARY_NAME),
            LIBRARY_NAME]


def _declare(library):
    handle = ctypes.c_void_p
    size = ctypes.c_size_t
    buffer = ctypes.c_char_p
    result = ctypes.c_int
    written = ctypes.POINTER(ctypes.POINTER(ctypes.c_uint8))
    sized = ctypes.POINTER(size)
    signatures = {
        "brask_open_memory_explained": (result, [ctypes.c_char_p, size, ctypes.c_char_p,
                                                 ctypes.c_uint64, ctypes.POINTER(handle),
                                                 buffer, size]),
        "brask_close": (None, [handle]),
        "brask_get_info": (result, [handle, ctypes.POINTER(Info)]),
        "brask_get_part": (result, [handle, ctypes.c_uint32, ctypes.POINTER(Part)]),
        "brask_decode_rgba": (result, [handle, buffer, size, size]),
        "brask_decode_indexed": (result, [handle, buffer, size, size, buffer, size]),
        "brask_decode_part_rgba": (result, [handle, ctypes.c_uint32, buffer, size, size]),
        "brask_encode_rgba": (result, [ctypes.c_uint32, buffer, ctypes.c_uint32, ctypes.c_uint32,
                                       size, ctypes.POINTER(EncodeOptions), written, sized]),
        "brask_encode_indexed": (result, [ctypes.c_uint32, buffer, ctypes.c_uint32,
                                          ctypes.c_uint32, size, buffer, ctypes.c_uint32,
                                          ctypes.POINTER(EncodeOptions), written, sized]),
        "brask_encode_g00_parts": (result, [ctypes.POINTER(EncodePart), ctypes.c_uint32,
                                            ctypes.POINTER(EncodeOptions), written, sized]),
        "brask_free": (None, [ctypes.c_void_p]),
        "brask_result_text": (ctypes.c_char_p, [result]),
        "brask_version": (ctypes.c_char_p, []),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    return library


def load_library():
    """The C library, loaded once; OSError naming every place looked in when it is missing."""
    global _library
    with _library_lock:
        if _library is None:
            failures = []
            for candidate in _candidates():
                if os.sep in candidate and not os.path.exists(candidate):
                    continue
                try:
                    _library = _declare(ctypes.CDLL(candidate))
                    break
                except OSError as error:
                    failures.append(str(error))
            else:
                raise OSError("brask: cannot load %s (looked beside the package and in the "
                              "system's library path): %s" % (LIBRARY_NAME, "; ".join(failures)))
        return _library


def version():
    return load_library().brask_version().decode()


def _check(result, what):
    if result != _OK:
        text = load_library().brask_result_text(result).decode(errors="replace")
        raise BraskError(result, "%s: %s" % (what, text))


class Picture:
    """One opened picture. Not for two threads at once; close() frees it (so does `with`)."""

    def __init__(self, data, name_hint=None, memory_limit=0):
        library = load_library()
        data = bytes(data)
        hint = os.fsencode(name_hint) if name_hint else None
        handle = ctypes.c_void_p()
        why = ctypes.create_string_buffer(_EXPLANATION_SIZE)
        result = library.brask_open_memory_explained(data, len(data), hint, memory_limit,
                                                     ctypes.byref(handle), why, len(why))
        if result != _OK:  # the library's words for what is wrong with the file
            raise BraskError(result, "cannot open the picture: %s"
                             % why.value.decode(errors="replace"))
        self._library = library
        self._handle = handle
        self.info = Info()
        _check(library.brask_get_info(handle, ctypes.byref(self.info)),
               "cannot describe the picture")

    def close(self):
        if self._handle is not None:
            self._library.brask_close(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __del__(self):
        if getattr(self, "_handle", None) is not None:
            self.close()

    def _open_handle(self):
        if self._handle is None:
            raise ValueError("brask: the picture is closed")
        return self._handle

    def part(self, n):
        part = Part()
        _check(self._library.brask_get_part(self._open_handle(), n, ctypes.byref(part)),
               "cannot describe part %d" % n)
        return part

    def decode_rgba(self):
        """The whole picture as RGBA bytes, rows of width * 4 without padding."""
        row_bytes = self.info.width * 4
        pixels = ctypes.create_string_buffer(row_bytes * self.info.height)
        _check(self._library.brask_decode_rgba(self._open_handle(), pixels, len(pixels), row_bytes),
               "cannot decode the picture")
        return pixels.raw

    def decode_indexed(self):
        """(indexes, palette): rows of width index bytes, and the palette as RGB triples."""
        indexes = ctypes.create_string_buffer(self.info.width * self.info.height)
        palette = ctypes.create_string_buffer(self.info.palette_size * 3)
        _check(self._library.brask_decode_indexed(self._open_handle(), indexes, len(indexes),
                                                  self.info.width, palette, len(palette)),
               "cannot decode the picture")
        return indexes.raw, palette.raw

    def decode_part_rgba(self, n):
        """Part n on its own as RGBA bytes, rows of its width * 4."""
        part = self.part(n)
        if part.width < 1 or part.height < 1:
            raise ValueError("brask: part %d has no picture of its own" % n)
        row_bytes = part.width * 4
        pixels = ctypes.create_string_buffer(row_bytes * part.height)
        _check(self._library.brask_decode_part_rgba(self._open_handle(), n, pixels, len(pixels),
                                                    row_bytes),
               "cannot decode part %d" % n)
        return pixels.raw


def _u32(value, what):
    if not 0 <= value <= 0xFFFFFFFF:
        raise ValueError("brask: %s %d is out of range" % (what, value))
    return value


def _i32(value, what):
    if not -0x80000000 <= value <= 0x7FFFFFFF:
        raise ValueError("brask: %s %d is out of range" % (what, value))
    return value


def _encoded(call, what):
    """Runs an encoder given its two output arguments; the file's bytes, the library's memory
    freed."""
    library = load_library()
    out = ctypes.POINTER(ctypes.c_uint8)()
    out_size = ctypes.c_size_t()
    try:
        _check(call(ctypes.byref(out), ctypes.byref(out_size)), what)
        return ctypes.string_at(out, out_size.value)
    finally:
        library.brask_free(out)


def _options(level, drop_alpha):
    return EncodeOptions(DEFAULT_LEVEL if level is None else level, 1 if drop_alpha else 0)


def _mode(mode):
    if mode not in MODES:
        raise ValueError("brask: unknown mode %r; the modes are %s" % (mode, " ".join(MODES)))
    return MODES[mode]


def _pixels(data, width, height, bytes_per_pixel, what):
    data = bytes(data)
    if len(data) != width * height * bytes_per_pixel:
        raise ValueError("brask: %s holds %d bytes, not the %d of %d x %d pixels"
                         % (what, len(data), width * height * bytes_per_pixel, width, height))
    return data


def encode_rgba(mode, rgba, width, height, level=None, drop_alpha=False):
    """A file in `mode` (a name of MODES) from width x height RGBA bytes, rows unpadded.
    Alpha below 255 in a mode without alpha raises BraskError unless drop_alpha."""
    rgba = _pixels(rgba, _u32(width, "width"), _u32(height, "height"), 4, "the RGBA")
    options = _options(level, drop_alpha)
    library = load_library()
    return _encoded(lambda out, out_size: library.brask_encode_rgba(
        _mode(mode), rgba, width, height, width * 4, ctypes.byref(options), out, out_size),
        "cannot write the picture")


def encode_indexed(mode, indexes, width, height, palette, level=None):
    """A file in an indexed mode from width x height index bytes and the palette as RGB triples
    (at most 256)."""
    indexes = _pixels(indexes, _u32(width, "width"), _u32(height, "height"), 1, "the indexes")
    palette = bytes(palette)
    if len(palette) % 3 != 0:
        raise ValueError("brask: a palette is RGB triples; %d bytes is not" % len(palette))
    options = _options(level, False)
    library = load_library()
    return _encoded(lambda out, out_size: library.brask_encode_indexed(
        _mode(mode), indexes, width, height, width, palette, len(palette) // 3,
        ctypes.byref(options), out, out_size), "cannot write the picture")


def encode_parts(parts, level=None):
    """A type-2 G00 from parts stacked in order: each a mapping with "width", "height",
    "rgba" (width x height RGBA bytes) and optionally "index" (strictly increasing; by default
    the next one) and "origin" (x, y)."""
    table = (EncodePart * max(1, len(parts)))()
    kept = []  # the pixel bytes, alive until the call returns
    next_index = 0
    for n, part in enumerate(parts):
        width, height = part["width"], part["height"]
        index = part.get("index", next_index)
        origin_x, origin_y = part.get("origin", (0, 0))
        rgba = b""
        if width > 0 and height > 0:
            rgba = _pixels(part["rgba"], width, height, 4, "part %d's RGBA" % n)
        kept.append(rgba)
        table[n] = EncodePart(_u32(index, "part index"), _i32(width, "width"),
                              _i32(height, "height"), _u32(origin_x, "origin"),
                              _u32(origin_y, "origin"), rgba, max(0, width) * 4)
        next_index = index + 1
    options = _options(level, False)
    library = load_library()
    return _encoded(lambda out, out_size: library.brask_encode_g00_parts(
        table, len(parts), ctypes.byref(options), out, out_size), "cannot write the picture")
