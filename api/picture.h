// SPDX-License-Identifier: MIT
// What a brask_picture handle holds: its own copy of the input, what the header says, the
// memory a decode may take, and for type-2 G00 the decompressed part directory with the parts
// it lists. Everything is allocated from the process heap through the platform layer, so the
// tests' fault switch reaches every allocation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brask/brask.h"
#include "formats/g00_header.h"
#include "formats/pdt_layout.h"

struct brask_picture {
  uint8_t* bytes;
  size_t length;
  brask_info info;
  uint64_t work_bytes;  // the work buffer an RGBA or indexed decode allocates
  // G00: the header read from `bytes`; type 1's palette count and where its indexes start.
  G00Header g00;
  uint16_t g00_palette_count;
  size_t g00_indexes_at;
  // G00 type 2: the decompressed directory (all bytes defined) and info.part_count parts.
  uint8_t* directory;
  size_t directory_bytes;
  brask_part* parts;
  // PDT
  PdtLayout pdt;
};

namespace api {

// A heap allocation of the platform layer; null when refused.
uint8_t* Allocate(size_t bytes);
void Free(void* memory);

// Whether `size` bytes starting at dst, rows `stride` apart, can hold height rows of
// row_bytes: BRASK_INVALID_ARGUMENT for a null buffer or a stride below a row,
// BRASK_BUFFER_TOO_SMALL for a short buffer. Needs height >= 1.
brask_result CheckRows(const uint8_t* dst, size_t size, size_t stride, uint64_t row_bytes,
                       uint64_t height);

}  // namespace api
