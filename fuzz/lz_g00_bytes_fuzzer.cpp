// SPDX-License-Identifier: MIT
// DecodeG00Bytes (G00 types 1 and 2) on every path this processor runs, each against the plain
// reference decoder: same units, same bytes, nothing written past the capacity. Bytes 0-2:
// the capacity; the rest: the stream.
#include "bench/plain_decoder.h"
#include "fuzz/lz_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_lz::DifferOnEveryPath(data, size, 1, DecodeG00BytesOn, PlainDecodeG00Bytes);
}
