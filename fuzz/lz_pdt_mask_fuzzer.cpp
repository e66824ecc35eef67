// SPDX-License-Identifier: MIT
// DecodePdtMask (PDT10 alpha mask, runs up to 257 bytes) against the plain reference
// decoder: same units, same bytes, nothing written past the capacity. Bytes 0-2: the
// capacity; the rest: the stream.
#include "bench/plain_decoder.h"
#include "codec/lz.h"
#include "fuzz/lz_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_lz::Differ(data, size, 1, DecodePdtMask, PlainDecodePdtMask);
}
