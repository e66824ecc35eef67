// SPDX-License-Identifier: MIT
#include "tools/brask/output_format.h"

#include "tools/brask/bmp_file.h"
#if BRASK_HAVE_PNG
#include "tools/brask/png_file.h"  // EncodePng: libspng, or WIC on Windows (wic_png_writer.cpp)
#endif

namespace brask {

bool PngAvailable() { return BRASK_HAVE_PNG != 0; }

OutputFormat DefaultOutputFormat() { return PngAvailable() ? OutputFormat::kPng : OutputFormat::kBmp; }

const char* ExtensionOf(OutputFormat format) { return format == OutputFormat::kPng ? ".png" : ".bmp"; }

bool EncodePicture(const DibPicture& picture, OutputFormat format,
                   const PngCompression& compression, std::vector<uint8_t>* bytes,
                   std::string* why) {
  if (format == OutputFormat::kBmp) {
    *bytes = EncodeBmp(picture);
    return true;
  }
#if BRASK_HAVE_PNG
  return EncodePng(RowsOfDib(picture), compression, bytes, why);
#else
  (void)compression;
  *why = "this build writes BMP only";
  return false;
#endif
}

bool EncodeRows(const PictureRows& rows, const PngCompression& compression,
                std::vector<uint8_t>* bytes, std::string* why) {
#if BRASK_HAVE_PNG
  return EncodePng(rows, compression, bytes, why);
#else
  (void)rows;
  (void)compression;
  (void)bytes;
  *why = "this build writes BMP only";
  return false;
#endif
}

}  // namespace brask
