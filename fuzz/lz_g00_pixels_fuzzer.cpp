// SPDX-License-Identifier: MIT
// DecodeG00Pixels (G00 type 0) on every path this processor runs, each against the plain
// reference decoder: same pixels, same bytes, nothing written past the capacity (not always a
// whole number of pixels). Bytes 0-2: the capacity in bytes; the rest: the stream.
#include "bench/plain_decoder.h"
#include "fuzz/lz_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_lz::DifferOnEveryPath(data, size, 3, DecodeG00PixelsOn, PlainDecodeG00Pixels);
}
