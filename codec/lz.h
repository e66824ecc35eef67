// SPDX-License-Identifier: MIT
// The five LZ77-style stream variants of the two formats. Each decodes one whole stream from
// a byte range into the caller's buffer and returns the units written (bytes, or pixels of
// three bytes). Nothing in a stream is trusted:
// - a unit that would not fit in dst_capacity is not written, and decoding stops there;
// - an item whose bytes run past the end of the range (or a flag byte due exactly at the
//   end) is dropped, and decoding stops;
// - a back-reference unit whose source lies outside the units already written (before the
//   output's start, or the unit being written itself) is written as zero bytes, and
//   decoding goes on.
// So no stream makes a decoder read outside [src, src + src_length) or write outside
// [dst, dst + dst_capacity), and every well-formed stream decodes exactly.
#pragma once

#include <cstddef>
#include <cstdint>

// G00 types 1 and 2. Flags low bit first, each flag byte before its eight items. Literal:
// one byte. Back-reference: 16-bit w, length (w & 15) + 2, distance w >> 4 bytes.
size_t DecodeG00Bytes(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length);

// G00 type 0. As DecodeG00Bytes with 3-byte pixels: literal 3 bytes, length (w & 15) + 1,
// distance w >> 4 pixels.
size_t DecodeG00Pixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length);

// PDT10 colour. Flags high bit first, the first flag byte leads the stream and each next one
// follows the eighth item of its group. Literal: 3 bytes. Back-reference: 16-bit w, length
// (w & 15) + 1, distance (w >> 4) + 1 pixels.
size_t DecodePdtPixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length);

// PDT10 alpha mask. Flags as DecodePdtPixels. Literal: 1 byte. Back-reference: bytes b0, b1,
// length b0 + 2, distance b1 + 1 bytes.
size_t DecodePdtMask(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length);

// PDT11 indexes. `block` starts with 16 little-endian 32-bit byte distances, then the first
// flag byte at 64 and the items from 65; `block_length` counts from the block's start.
// Flags as DecodePdtPixels. Literal: 1 byte. Back-reference: byte c, length (c >> 4) + 2,
// distance table[c & 15] (0, or negative as a signed 32-bit value, reaches outside).
size_t DecodePdtIndexed(uint8_t* dst, size_t dst_capacity, const uint8_t* block,
                        size_t block_length);

// The PDT11 block's layout.
constexpr size_t kPdtDistanceTableBytes = 64;
constexpr size_t kPdtDistanceCount = 16;
