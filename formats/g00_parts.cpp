// SPDX-License-Identifier: MIT
// Walking the type-2 part directory: the entries inside the data, the parts that take part,
// and the composed picture's size.
#include "formats/g00_parts.h"

#include "codec/dib.h"

namespace {

// Directory layout: a 32-bit entry count, then 8-byte entries (part offset, part length).
constexpr size_t kEntryCountBytes = 4;
constexpr size_t kEntryBytes = 8;
// Fields of a part header, by offset.
constexpr size_t kPartBlockCount = 2;
constexpr size_t kPartOriginX = 4;
constexpr size_t kPartOriginY = 8;
constexpr size_t kPartWidth = 12;
constexpr size_t kPartHeight = 16;

}  // namespace

uint64_t CountG00Entries(const uint8_t* data, size_t data_length) {
  if (data == nullptr || data_length < kEntryCountBytes) return 0;
  const uint64_t stored = ReadU32Le(data);
  const uint64_t fitting = (data_length - kEntryCountBytes) / kEntryBytes;
  return stored < fitting ? stored : fitting;
}

bool ReadG00Part(const uint8_t* data, size_t data_length, uint64_t index, G00Part* part) {
  const uint8_t* entry = data + kEntryCountBytes + static_cast<size_t>(index) * kEntryBytes;
  const uint32_t offset = ReadU32Le(entry);
  const uint32_t length = ReadU32Le(entry + 4);
  if (offset == 0 || length == 0) return false;
  if (offset > data_length || kG00PartHeaderBytes > data_length - offset) return false;
  const uint8_t* header = data + offset;
  part->index = static_cast<uint32_t>(index);
  part->header = header;
  part->data_end = data + data_length;
  part->block_count = ReadU16Le(header + kPartBlockCount);
  part->origin_x = ReadU16Le(header + kPartOriginX);
  part->origin_y = ReadU16Le(header + kPartOriginY);
  part->width = ReadI32Le(header + kPartWidth);
  part->height = ReadI32Le(header + kPartHeight);
  return part->height >= 0;
}

G00PartsSize SizeG00Parts(const uint8_t* data, size_t data_length) {
  G00PartsSize size{0, 0};
  const uint64_t entries = CountG00Entries(data, data_length);
  for (uint64_t i = 0; i < entries; ++i) {
    G00Part part;
    if (!ReadG00Part(data, data_length, i, &part)) continue;
    if (part.width > size.width) size.width = part.width;
    // Once past the largest block the sum only has to stay too large, so it cannot wrap.
    if (size.height <= kLargestBlockBytes) size.height += static_cast<uint64_t>(part.height);
  }
  return size;
}
