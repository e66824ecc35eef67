#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Compares two PNG files as pictures: size, bit depth, colour type, colour table, transparency
and every pixel as stored (RGB triples or palette indexes). Compression, filters and other
chunks may differ. Reads the files itself (Python's zlib only), so the comparison depends on
neither writer. Exits 1 naming the first difference.

    compare_pngs.py EXPECTED.png GOT.png
"""
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(SIGNATURE):
        raise ValueError(f"{path}: not a PNG file")
    pos = len(SIGNATURE)
    chunks = {}
    idat = []
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        else:
            chunks.setdefault(kind, body)
    width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    if depth != 8 or colour_type not in CHANNELS or interlace != 0:
        raise ValueError(f"{path}: depth {depth}, colour type {colour_type}, interlace {interlace}:"
                         " only non-interlaced 8-bit pictures are expected")
    bpp = CHANNELS[colour_type]
    stride = width * bpp
    raw = zlib.decompress(b"".join(idat))
    if len(raw) != height * (stride + 1):
        raise ValueError(f"{path}: {len(raw)} bytes of image data for {width} x {height}")
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = row[x - bpp] if x >= bpp else 0
            up = previous[x]
            upper_left = previous[x - bpp] if x >= bpp else 0
            if kind == 0:
                continue
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                row[x] = (row[x] + predictor) & 0xFF
            else:
                raise ValueError(f"{path}: row {y} has filter type {kind}")
        rows.append(bytes(row))
        previous = row
    return {
        "size": (width, height),
        "colour type": colour_type,
        "colour table": chunks.get(b"PLTE"),
        "transparency": chunks.get(b"tRNS"),
        "rows": rows,
    }


def main():
    expected_path, got_path = sys.argv[1], sys.argv[2]
    try:
        expected, got = read_png(expected_path), read_png(got_path)
    except (OSError, ValueError, KeyError, zlib.error) as error:
        print(f"FAIL: {error}")
        return 1
    for field in ("size", "colour type", "colour table", "transparency"):
        want, have = expected[field], got[field]
        if want == have:
            continue
        if isinstance(want, bytes) and isinstance(have, bytes) and len(want) == len(have):
            at = next(i for i in range(len(want)) if want[i] != have[i])
            print(f"FAIL: {got_path}: {field} differs from byte {at} on")
        else:
            describe = (lambda v: f"{len(v)} bytes" if isinstance(v, bytes) else repr(v))
            print(f"FAIL: {got_path}: {field} {describe(have)}, expected {describe(want)}"
                  f" as in {expected_path}")
        return 1
    for y, (want, have) in enumerate(zip(expected["rows"], got["rows"])):
        if want != have:
            x = next(i for i in range(len(want)) if want[i] != have[i])
            print(f"FAIL: {got_path}: row {y} differs from byte {x} on")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
