// SPDX-License-Identifier: MIT
#include "tools/brask/info_command.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tools/brask/stored_picture.h"

namespace brask {
namespace {

using Json = nlohmann::ordered_json;

// Width and height are those of the picture as decoded (a type-2 G00: the composed picture).
Json Describe(StoredPicture& stored) {
  const brask_info& info = stored.info();
  Json parts = Json::array();
  for (const brask_part& part : stored.Parts()) {
    parts.push_back({{"index", part.index}, {"width", part.width}, {"height", part.height},
                     {"origin_x", part.origin_x}, {"origin_y", part.origin_y}, {"top", part.top}});
  }
  return {{"width", info.width},
          {"height", info.height},
          {"depth", stored.indexed() ? 8 : 24},
          {"mode", ModeName(info.mode)},
          {"alpha", info.has_alpha != 0},
          {"palette", info.palette_size},
          {"parts", parts}};
}

std::string Summary(const Json& d) {
  std::string text = std::to_string(d["width"].get<uint32_t>()) + " x " +
                     std::to_string(d["height"].get<uint32_t>()) + ", " +
                     std::to_string(d["depth"].get<int>()) + "-bit, " + d["mode"].get<std::string>();
  if (d["alpha"].get<bool>()) text += ", alpha";
  if (d["palette"].get<uint32_t>() != 0) text += ", " + std::to_string(d["palette"].get<uint32_t>()) + " colours";
  const size_t parts = d["parts"].size();
  if (parts != 0) text += ", " + std::to_string(parts) + (parts == 1 ? " part" : " parts");
  return text;
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, bool json) {
  int status = 0;
  for (const std::string& file : files) {
    Json line = {{"file", file}};
    std::string text;
    if (!std::ifstream(file, std::ios::binary)) {
      line["supported"] = false;
      line["error"] = "cannot open the file";
      text = "cannot open the file";
    } else {
      StoredPicture stored;
      const brask_result result = stored.Open(file);
      // Supported: a G00 or PDT picture, even one too damaged or too large to open.
      line["supported"] = result != BRASK_NOT_SUPPORTED && result != BRASK_FILE_ERROR;
      if (result == BRASK_OK) {
        const Json described = Describe(stored);
        line.update(described);
        text = Summary(described);
      } else {
        line["result"] = int(result);
        line["error"] = stored.why();
        text = stored.why();
      }
    }
    if (line.contains("error")) status = 1;
    if (json) {
      std::printf("%s\n", line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    } else {
      std::printf("%s: %s\n", file.c_str(), text.c_str());
    }
  }
  return status;
}

}  // namespace brask
