// DecodePdtPixels (PDT10 colour) on every path this processor runs, each against the plain
// reference decoder: same pixels, same bytes, nothing written past the capacity (not always a
// whole number of pixels). Bytes 0-2: the capacity in bytes; the rest: the stream.
#include "bench/plain_decoder.h"
#include "codec/lz_paths.h"
#include "fuzz/lz_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_lz::Differ(data, size, 3, DecodePdtPixelsOnPath<LzPath::kGroups>, PlainDecodePdtPixels);
  if (LzPathRuns(LzPath::kSse2)) {
    fuzz_lz::Differ(data, size, 3, DecodePdtPixelsOnPath<LzPath::kSse2>, PlainDecodePdtPixels);
  }
  if (LzPathRuns(LzPath::kSsse3)) {
    fuzz_lz::Differ(data, size, 3, DecodePdtPixelsOnPath<LzPath::kSsse3>, PlainDecodePdtPixels);
  }
  return 0;
}
