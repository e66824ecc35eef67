// Stacking the parts of decompressed G00 type-2 data into one 24-bit picture. The data comes
// from the file (a directory of entries, parts and blocks) and is not trusted: every entry,
// part header and block is checked to lie wholly inside it before it is read, and every
// block is clipped to the picture before it is written.
#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "formats/g00.h"

namespace {

// Directory layout: a 32-bit entry count, then 8-byte entries (part offset, part length).
constexpr size_t kEntryCountBytes = 4;
constexpr size_t kEntryBytes = 8;
// Fields of a part header and of a block header, by offset.
constexpr size_t kPartBlockCount = 2;
constexpr size_t kPartOriginX = 4;
constexpr size_t kPartOriginY = 8;
constexpr size_t kPartWidth = 12;
constexpr size_t kPartHeight = 16;
constexpr size_t kBlockX = 0;
constexpr size_t kBlockY = 2;
constexpr size_t kBlockWidth = 6;
constexpr size_t kBlockHeight = 8;
constexpr size_t kBytesPerBlockPixel = 4;

// A part that takes part in the picture: non-empty entry, header wholly inside the data, and
// neither size negative. Both passes see exactly the same parts.
struct Part {
  const uint8_t* header;
  const uint8_t* data_end;
  uint16_t block_count;
  uint16_t origin_x;
  uint16_t origin_y;
  int32_t width;
  int32_t height;
};

// The entries whose 8 bytes lie inside the data; the first one outside ends the directory.
uint64_t EntriesInside(const uint8_t* data, size_t data_length) {
  if (data_length < kEntryCountBytes) return 0;
  const uint64_t stored = ReadU32Le(data);
  const uint64_t fitting = (data_length - kEntryCountBytes) / kEntryBytes;
  return stored < fitting ? stored : fitting;
}

// Reads entry `index` (inside the data). False for an empty entry, a part header that is not
// wholly inside the data, or a negative part size: such a part contributes nothing.
bool ReadPart(const uint8_t* data, size_t data_length, uint64_t index, Part* part) {
  const uint8_t* entry = data + kEntryCountBytes + static_cast<size_t>(index) * kEntryBytes;
  const uint32_t offset = ReadU32Le(entry);
  const uint32_t length = ReadU32Le(entry + 4);
  if (offset == 0 || length == 0) return false;
  if (offset > data_length || kG00PartHeaderBytes > data_length - offset) return false;
  const uint8_t* header = data + offset;
  part->header = header;
  part->data_end = data + data_length;
  part->block_count = ReadU16Le(header + kPartBlockCount);
  part->origin_x = ReadU16Le(header + kPartOriginX);
  part->origin_y = ReadU16Le(header + kPartOriginY);
  part->width = ReadI32Le(header + kPartWidth);
  part->height = ReadI32Le(header + kPartHeight);
  return part->width >= 0 && part->height >= 0;
}

struct Picture {
  uint8_t* pixels;
  int64_t width;
  int64_t height;
  size_t stride;
};

// Places one block whose top-left pixel falls on picture (column, row), dropping every pixel
// outside the picture. `src` holds block_width * block_height pixels of 4 bytes.
void PlaceBlock(const Picture& picture, int64_t column, int64_t row, int64_t block_width,
                int64_t block_height, const uint8_t* src) {
  const int64_t first_column = column > 0 ? column : 0;
  const int64_t end_column =
      column + block_width < picture.width ? column + block_width : picture.width;
  const int64_t first_row = row > 0 ? row : 0;
  const int64_t end_row = row + block_height < picture.height ? row + block_height : picture.height;
  if (first_column >= end_column || first_row >= end_row) return;
  const size_t span_bytes = static_cast<size_t>(end_column - first_column) * kBytesPerBlockPixel;
  const size_t src_row_bytes = static_cast<size_t>(block_width) * kBytesPerBlockPixel;
  const uint8_t* src_row = src + static_cast<size_t>(first_row - row) * src_row_bytes +
                           static_cast<size_t>(first_column - column) * kBytesPerBlockPixel;
  for (int64_t r = first_row; r < end_row; ++r, src_row += src_row_bytes) {
    // Picture row r (from the top) is memory row height - 1 - r.
    uint8_t* dst = picture.pixels + static_cast<size_t>(picture.height - 1 - r) * picture.stride +
                   static_cast<size_t>(first_column) * 3;
    FlattenAlphaRow(dst, src_row, span_bytes);
  }
}

// Places the part's blocks with the part's top on picture row part_top. A block whose header
// or pixels run past the data ends the part there; what was placed stays.
void PlacePart(const Picture& picture, const Part& part, int64_t part_top) {
  const uint8_t* block = part.header + kG00PartHeaderBytes;
  for (uint32_t b = 0; b < part.block_count; ++b) {
    const size_t remaining = static_cast<size_t>(part.data_end - block);
    if (remaining < kG00BlockHeaderBytes) return;
    const int64_t x = ReadU16Le(block + kBlockX);
    const int64_t y = ReadU16Le(block + kBlockY);
    const int64_t width = ReadU16Le(block + kBlockWidth);
    const int64_t height = ReadU16Le(block + kBlockHeight);
    // At most 65535 * 65535 * 4 bytes: no wrap in 64 bits.
    const uint64_t pixel_bytes = static_cast<uint64_t>(width * height) * kBytesPerBlockPixel;
    if (pixel_bytes > remaining - kG00BlockHeaderBytes) return;
    const uint8_t* pixels = block + kG00BlockHeaderBytes;
    PlaceBlock(picture, x - part.origin_x, part_top + (y - part.origin_y), width, height, pixels);
    block = pixels + static_cast<size_t>(pixel_bytes);
  }
}

}  // namespace

uint32_t ComposeG00Parts(HLOCAL* pixel_block_out, const uint8_t* data, size_t data_length,
                         BITMAPINFOHEADER* header) {
  // Sizing pass: as wide as the widest part, as high as all parts together.
  const uint64_t entries = data != nullptr ? EntriesInside(data, data_length) : 0;
  int64_t width = 0;
  uint64_t height = 0;
  for (uint64_t i = 0; i < entries; ++i) {
    Part part;
    if (!ReadPart(data, data_length, i, &part)) continue;
    if (part.width > width) width = part.width;
    // Once past the largest block the sum only has to stay too large, so it cannot wrap.
    if (height <= kLargestBlockBytes) height += static_cast<uint64_t>(part.height);
  }
  const uint64_t stride = DibStride(static_cast<uint64_t>(width), 3);
  // The width is at most 2^31 - 1, so the stride is below 2^33; dividing the cap by it
  // refuses a too large picture before any product is formed.
  const bool empty = width == 0 || height == 0;
  const bool too_large = !empty && height > kLargestBlockBytes / stride;
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = height <= 0x7FFFFFFF ? static_cast<LONG>(height) : 0;
  header->biSizeImage = 0;
  *pixel_block_out = nullptr;
  if (empty || too_large) return 0;
  const uint64_t size_image = stride * height;
  header->biSizeImage = static_cast<DWORD>(size_image);

  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(size_image));
  *pixel_block_out = block;
  if (block == nullptr) return 0;
  uint8_t* pixels = static_cast<uint8_t*>(LocalLock(block));
  if (pixels == nullptr) {
    LocalFree(block);
    *pixel_block_out = nullptr;
    return 0;
  }

  // Placement pass: each part starts right below the previous one; the advance uses the low
  // 16 bits of the part's height, as the files expect.
  const Picture picture{pixels, width, static_cast<int64_t>(height), static_cast<size_t>(stride)};
  int64_t part_top = 0;
  for (uint64_t i = 0; i < entries; ++i) {
    Part part;
    if (!ReadPart(data, data_length, i, &part)) continue;
    PlacePart(picture, part, part_top);
    part_top += part.height & 0xFFFF;
  }
  return static_cast<uint32_t>(size_image);
}
