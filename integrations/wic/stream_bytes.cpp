#include "integrations/wic/stream_bytes.h"

#include <algorithm>

#include <wincodec.h>

namespace brask_wic {
namespace {

// Bytes asked of the stream at most at once: the buffer grows as bytes arrive, so a stream
// that states a huge size but holds little costs little.
constexpr size_t kLargestRead = size_t{16} << 20;

}  // namespace

HRESULT ReadWholeStream(IStream* stream, uint64_t limit, std::vector<uint8_t>* bytes) {
  if (stream == nullptr || bytes == nullptr) return E_INVALIDARG;
  bytes->clear();
  LARGE_INTEGER start{};
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return WINCODEC_ERR_STREAMREAD;

  // The stated size only sizes the first read; the stream's end is where reads stop.
  uint64_t stated = 0;
  STATSTG stat{};
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
    stated = stat.cbSize.QuadPart;
    if (stated > limit) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  size_t want = static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(stated + 1, 4096),
                                                        kLargestRead));
  for (;;) {
    const size_t have = bytes->size();
    // One byte more than the limit is asked for, to tell "exactly the limit" from "more".
    const uint64_t room = limit + 1 - have;
    const ULONG ask = static_cast<ULONG>(std::min<uint64_t>(want, room));
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
    want = std::min(want * 2, kLargestRead);
  }
  return S_OK;
}

}  // namespace brask_wic
