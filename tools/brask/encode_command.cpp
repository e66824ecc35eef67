#include "tools/brask/encode_command.h"

#include <cstdio>

#include "tools/brask/output_file.h"
#if BRASK_HAVE_PNG_READER
#include "tools/brask/png_file.h"
#endif

namespace brask {

int RunEncode(const std::string& input, const std::string& output, const ModeInfo& mode, bool force,
              int level) {
#if BRASK_HAVE_PNG_READER
  PngImage png;
  std::string why;
  if (!ReadPng(input, &png, &why)) {
    std::fprintf(stderr, "brask encode: %s\n", why.c_str());
    return 1;
  }
  SourcePicture source;
  source.width = static_cast<int32_t>(png.width);
  source.height = static_cast<int32_t>(png.height);
  source.rgba = std::move(png.rgba);
  source.indexed = png.indexed;
  source.palette_rgb = std::move(png.palette);
  source.indexes = std::move(png.indexes);
  if (png.has_alpha && !mode.alpha) {
    std::fprintf(stderr, "brask encode: note: %s stores no alpha; the picture's alpha is dropped\n",
                 mode.name);
  }
  const std::string ending = output.size() >= 4 ? output.substr(output.size() - 4) : "";
  const bool g00_name = ending.size() == 4 && ending[0] == '.' && (ending[1] == 'g' || ending[1] == 'G') &&
                        ending[2] == '0' && ending[3] == '0';
  if (std::string(mode.extension) == ".g00" && !g00_name) {
    std::fprintf(stderr, "brask encode: note: the plug-in recognises G00 pictures only by a .g00 name\n");
  }
  EncodedPicture encoded;
  if (!EncodeInMode(source, mode.mode, &encoded, &why, level)) {
    std::fprintf(stderr, "brask encode: %s: %s (mode %s)\n", input.c_str(), why.c_str(), mode.name);
    return 1;
  }
  switch (WriteFileSafely(output, encoded.file, force, &why)) {
    case WriteOutcome::kWritten:
      std::printf("%s -> %s (%s, %d x %d, %zu bytes)\n", input.c_str(), output.c_str(), mode.name,
                  source.width, source.height, encoded.file.size());
      return 0;
    case WriteOutcome::kExists:
      std::fprintf(stderr, "brask encode: %s exists, not overwritten (use --force)\n", output.c_str());
      return 1;
    case WriteOutcome::kFailed:
      std::fprintf(stderr, "brask encode: %s\n", why.c_str());
      return 1;
  }
  return 1;
#else
  (void)input;
  (void)output;
  (void)mode;
  (void)force;
  (void)level;
  std::fprintf(stderr, "brask encode: this build reads no PNG files (the Windows build converts only)\n");
  return 1;
#endif
}

}  // namespace brask
