// SPDX-License-Identifier: MIT
// Reading the G00 header. Every offset is computed in 64 bits from 32-bit fields, so no
// region count or size can wrap it, and compared with the data's length before use.
#include "formats/g00_header.h"

#include "codec/byte_io.h"

namespace {

constexpr size_t kSizeFieldsBytes = 8;
constexpr size_t kRegionCountBytes = 4;
// The stored compressed size counts the two size fields as well as the stream.
constexpr uint32_t kCompressedSizeBias = 8;

}  // namespace

bool ReadG00Header(const uint8_t* data, size_t length, G00Header* header, HeaderFault* fault) {
  if (data == nullptr || length < kG00FixedHeaderBytes) {
    return Refuse(fault, true, "its header needs %llu bytes, the file holds %llu",
                  kG00FixedHeaderBytes + kSizeFieldsBytes, length);
  }
  if (data[0] > 2) {
    return Refuse(fault, false, "its type is %llu, where a G00 has 0, 1 or 2", data[0], 0);
  }
  header->type = data[0];
  header->width = ReadU16Le(data + kG00WidthOffset);
  header->height = ReadU16Le(data + kG00HeightOffset);
  uint64_t sizes_at = kG00FixedHeaderBytes;
  if (header->type == 2) {
    if (length < kG00FixedHeaderBytes + kRegionCountBytes) {
      return Refuse(fault, true, "its header needs %llu bytes, the file holds %llu",
                    kG00FixedHeaderBytes + kRegionCountBytes + kSizeFieldsBytes, length);
    }
    const uint64_t regions = ReadU32Le(data + kG00FixedHeaderBytes);
    sizes_at += kRegionCountBytes + regions * kG00RegionRecordBytes;  // below 2^37: no wrap
  } else if (header->width == 0 || header->height == 0) {
    return Refuse(fault, false, "its header gives a size of %llu x %llu pixels", header->width,
                  header->height);
  }
  if (sizes_at + kSizeFieldsBytes > length) {
    return Refuse(fault, true,
                  header->type == 2 ? "its header and region table need %llu bytes, the file holds %llu"
                                    : "its header needs %llu bytes, the file holds %llu",
                  sizes_at + kSizeFieldsBytes, length);
  }
  const uint8_t* sizes = data + sizes_at;
  const uint32_t compressed_size = ReadU32Le(sizes);
  header->decompressed_size = ReadU32Le(sizes + 4);
  const size_t stream_at = static_cast<size_t>(sizes_at) + kSizeFieldsBytes;
  if (compressed_size < kCompressedSizeBias) {
    return Refuse(fault, false, "its compressed size is %llu bytes, less than the %llu it counts itself",
                  compressed_size, kCompressedSizeBias);
  }
  const uint64_t stream_length = compressed_size - kCompressedSizeBias;
  if (stream_length > length - stream_at) {
    return Refuse(fault, true, "its header and compressed data need %llu bytes, the file holds %llu",
                  stream_at + stream_length, length);
  }
  header->stream = data + stream_at;
  header->stream_length = static_cast<size_t>(stream_length);
  return true;
}

bool LocateG00Indexes(const G00Header& header, uint16_t palette_count, size_t* indexes_at,
                      HeaderFault* fault) {
  const uint64_t work_bytes = header.decompressed_size;
  const uint64_t at = kG00PaletteCountBytes + uint64_t{palette_count} * kG00PaletteEntryBytes;
  const uint64_t index_bytes = uint64_t{header.width} * header.height;
  if (work_bytes < kG00PaletteCountBytes || at > work_bytes || index_bytes > work_bytes - at) {
    return Refuse(fault, false,
                  "its palette and pixels need %llu bytes unpacked, its header gives %llu",
                  at + index_bytes, work_bytes);
  }
  *indexes_at = static_cast<size_t>(at);
  return true;
}
