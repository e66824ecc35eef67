// SPDX-License-Identifier: MIT
#include "integrations/wic/stream_bytes.h"

#include <algorithm>

#include <wincodec.h>

namespace brask_wic {
namespace {

// Bytes asked of the stream at most at once: the buffer grows as bytes arrive, so a stream
// that states a huge size but holds little costs little.
constexpr size_t kLargestRead = size_t{16} << 20;
// The read after the stated size, which normally finds the end.
constexpr size_t kEndProbe = 4096;

}  // namespace

HRESULT ReadWholeStream(IStream* stream, uint64_t limit, std::vector<uint8_t>* bytes) {
  if (stream == nullptr || bytes == nullptr) return E_INVALIDARG;
  bytes->clear();
  LARGE_INTEGER start{};
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return WINCODEC_ERR_STREAMREAD;

  // The stated size is read at once, into a buffer with room for the read that finds the
  // end; a stream that holds more than it says is read on, in growing pieces.
  uint64_t stated = 0;
  STATSTG stat{};
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
    stated = stat.cbSize.QuadPart;
    if (stated > limit) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  bytes->reserve(static_cast<size_t>(std::min<uint64_t>(stated + kEndProbe, limit + 1)));
  size_t want = stated > 0 ? static_cast<size_t>(std::min<uint64_t>(stated, kLargestRead))
                           : kEndProbe;
  for (;;) {
    const size_t have = bytes->size();
    // At most one byte past the limit is asked for, to tell "exactly the limit" from "more".
    const ULONG ask = static_cast<ULONG>(std::min<uint64_t>(want, limit + 1 - have));
    bytes->resize(have + ask);
    ULONG got = 0;
    const HRESULT result = stream->Read(bytes->data() + have, ask, &got);
    if (FAILED(result) || got > ask) {
      bytes->clear();
      return WINCODEC_ERR_STREAMREAD;
    }
    bytes->resize(have + got);
    if (bytes->size() > limit) {
      bytes->clear();
      return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    }
    if (got == 0 || result == S_FALSE) break;
    want = bytes->size() == stated ? kEndProbe : std::min(want * 2, kLargestRead);
  }
  return S_OK;
}

}  // namespace brask_wic
