// SPDX-License-Identifier: MIT
// Reads the whole of an IStream into memory, from its start whatever its position: the
// callers that hand us streams (WIC, Explorer) may leave them anywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "integrations/wic/com_support.h"

namespace brask_wic {

// Reads every byte of stream into *bytes. More than `limit` bytes (by the stream's stated
// size or by what it gives) answers WINCODEC_ERR_IMAGESIZEOUTOFRANGE; a failing seek or read,
// or a read that claims more than was asked, WINCODEC_ERR_STREAMREAD. A stream that never
// ends is cut off by the limit.
HRESULT ReadWholeStream(IStream* stream, uint64_t limit, std::vector<uint8_t>* bytes);

}  // namespace brask_wic
