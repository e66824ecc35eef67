#include "tools/brask/info_command.h"

#include <cstdio>
#include <fstream>

#include "tools/brask/result_codes.h"

namespace brask {
namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

int RunInfo(const PluginLibrary& plugin, const std::vector<std::string>& files, bool json) {
  int status = 0;
  for (const std::string& file : files) {
    if (!std::ifstream(file, std::ios::binary)) {
      status = 1;
      if (json) {
        std::printf("{\"file\":%s,\"supported\":false,\"error\":\"cannot open the file\"}\n",
                    JsonString(file).c_str());
      } else {
        std::printf("%s: cannot open the file\n", file.c_str());
      }
      continue;
    }
    const bool supported = plugin.Supports(file);
    PictureInfoRecord info;
    const int32_t result = supported ? plugin.ReadInfo(file, &info) : kNotSupported;
    if (result != kSuccess) status = 1;
    if (json) {
      std::printf("{\"file\":%s,\"supported\":%s", JsonString(file).c_str(), supported ? "true" : "false");
      if (result == kSuccess) {
        std::printf(",\"width\":%d,\"height\":%d,\"depth\":%d", int(info.width), int(info.height),
                    int(info.colour_depth));
      } else if (supported) {
        std::printf(",\"result\":%d,\"error\":%s", int(result), JsonString(DescribeResult(result)).c_str());
      }
      std::printf("}\n");
    } else if (!supported) {
      std::printf("%s: not supported (not a G00 or PDT picture)\n", file.c_str());
    } else if (result != kSuccess) {
      std::printf("%s: supported, but result %d: %s\n", file.c_str(), int(result),
                  DescribeResult(result).c_str());
    } else {
      std::printf("%s: %d x %d, %d-bit\n", file.c_str(), int(info.width), int(info.height),
                  int(info.colour_depth));
    }
  }
  return status;
}

}  // namespace brask
