// SPDX-License-Identifier: MIT
#include "tools/brask/parts_manifest.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

namespace fs = std::filesystem;

namespace brask {

const char kPartsManifestSuffix[] = "-parts.json";

namespace {

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// A whole number within [lowest, highest], or false naming the field.
bool ReadField(const nlohmann::json& object, const char* name, int64_t lowest, int64_t highest,
               size_t position, int64_t* value, std::string* why) {
  const std::string where = "part " + std::to_string(position) + " (from 0): ";
  const auto found = object.find(name);
  if (found == object.end()) {
    *why = where + "\"" + name + "\" is missing";
    return false;
  }
  if (!found->is_number_integer()) {
    *why = where + "\"" + name + "\" is not a whole number";
    return false;
  }
  // Unsigned JSON numbers beyond int64 are out of every range here.
  if (found->is_number_unsigned() && found->get<uint64_t>() > uint64_t(INT64_MAX)) {
    *value = INT64_MAX;
  } else {
    *value = found->get<int64_t>();
  }
  if (*value < lowest || *value > highest) {
    *why = where + "\"" + name + "\" is " + std::to_string(*value) + ", outside " +
           std::to_string(lowest) + ".." + std::to_string(highest);
    return false;
  }
  return true;
}

}  // namespace

bool IsPartsManifestName(const std::string& path) { return EndsWith(path, kPartsManifestSuffix); }

std::string PartPicturePath(const std::string& manifest_path, uint32_t index) {
  const std::string stem = manifest_path.substr(0, manifest_path.size() - std::string(kPartsManifestSuffix).size());
  return stem + "-part" + std::to_string(index) + ".png";
}

bool BelongsToPartsManifest(const std::string& path) {
  if (!EndsWith(path, ".png")) return false;
  std::string stem = path.substr(0, path.size() - 4);
  // "x-part12" -> "x"; "x" stays.
  const size_t dash = stem.rfind("-part");
  if (dash != std::string::npos && dash + 5 < stem.size() &&
      stem.find_first_not_of("0123456789", dash + 5) == std::string::npos) {
    std::error_code error;
    if (fs::exists(stem.substr(0, dash) + kPartsManifestSuffix, error)) return true;
  }
  std::error_code error;
  return fs::exists(stem + kPartsManifestSuffix, error);
}

bool ParsePartsManifest(const std::string& text, std::vector<ManifestPart>* parts, std::string* why) {
  const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    *why = "not valid JSON";
    return false;
  }
  if (!document.is_array() || document.empty()) {
    *why = "not a list of parts (a JSON array of objects, one a part)";
    return false;
  }
  int64_t next_top = 0;
  int64_t lowest_index = 0;
  parts->clear();
  for (size_t n = 0; n < document.size(); ++n) {
    const nlohmann::json& object = document[n];
    if (!object.is_object()) {
      *why = "part " + std::to_string(n) + " (from 0) is not a JSON object";
      return false;
    }
    int64_t index, width, height, origin_x, origin_y;
    if (!ReadField(object, "index", 0, UINT32_MAX, n, &index, why) ||
        !ReadField(object, "width", INT32_MIN, INT32_MAX, n, &width, why) ||
        !ReadField(object, "height", 0, INT32_MAX, n, &height, why) ||
        !ReadField(object, "origin_x", 0, UINT32_MAX, n, &origin_x, why) ||
        !ReadField(object, "origin_y", 0, UINT32_MAX, n, &origin_y, why)) {
      return false;
    }
    if (index < lowest_index) {
      *why = "part " + std::to_string(n) + " (from 0): index " + std::to_string(index) +
             " does not follow the previous part's " + std::to_string(lowest_index - 1) +
             "; indexes increase strictly";
      return false;
    }
    // The top is where the parts before end: written by convert, checked here so that an
    // edit that moves a part is reported rather than lost.
    if (object.contains("top")) {
      int64_t top;
      if (!ReadField(object, "top", 0, UINT32_MAX, n, &top, why)) return false;
      if (top != next_top) {
        *why = "part " + std::to_string(n) + " (from 0): top " + std::to_string(top) +
               (top < next_top ? " overlaps the part above, which ends at row "
                               : " leaves a gap below the part above, which ends at row ") +
               std::to_string(next_top) + "; parts are stacked, each right below the last";
        return false;
      }
    }
    next_top += height & 0xFFFF;
    lowest_index = index + 1;
    parts->push_back({static_cast<uint32_t>(index), static_cast<int32_t>(width),
                      static_cast<int32_t>(height), static_cast<uint32_t>(origin_x),
                      static_cast<uint32_t>(origin_y)});
  }
  return true;
}

}  // namespace brask
