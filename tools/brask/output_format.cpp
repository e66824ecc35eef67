#include "tools/brask/output_format.h"

#include "tools/brask/bmp_file.h"
#if BRASK_HAVE_PNG
#include "tools/brask/png_file.h"
#endif

namespace brask {

bool PngAvailable() { return BRASK_HAVE_PNG != 0; }

OutputFormat DefaultOutputFormat() { return PngAvailable() ? OutputFormat::kPng : OutputFormat::kBmp; }

const char* ExtensionOf(OutputFormat format) { return format == OutputFormat::kPng ? ".png" : ".bmp"; }

bool EncodePicture(const DibPicture& picture, OutputFormat format, std::vector<uint8_t>* bytes,
                   std::string* why) {
  if (format == OutputFormat::kBmp) {
    *bytes = EncodeBmp(picture);
    return true;
  }
#if BRASK_HAVE_PNG
  return EncodePng(picture, bytes, why);
#else
  *why = "this build writes BMP only";
  return false;
#endif
}

bool EncodeRows(const PictureRows& rows, std::vector<uint8_t>* bytes, std::string* why) {
#if BRASK_HAVE_PNG
  return EncodePng(rows, bytes, why);
#else
  (void)rows;
  (void)bytes;
  *why = "this build writes BMP only";
  return false;
#endif
}

}  // namespace brask
