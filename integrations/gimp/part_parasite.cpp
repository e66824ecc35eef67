// SPDX-License-Identifier: MIT
#include "integrations/gimp/part_parasite.h"

#include <cctype>

namespace brask_gimp {

const char kPartParasiteName[] = "brask-part";
const char kEmptyPartsParasiteName[] = "brask-empty-parts";

namespace {

// Reads `count` space-separated decimal numbers, each optionally negative, into `values`.
bool ParseNumbers(const char* at, const char* end, size_t count, int64_t* values) {
  for (size_t field = 0; field < count; ++field) {
    if (field > 0) {
      if (at == end || *at != ' ') return false;
      ++at;
    }
    const bool negative = at != end && *at == '-';
    if (negative) ++at;
    int64_t value = 0;
    const char* const digits = at;
    while (at != end && std::isdigit(static_cast<unsigned char>(*at)) && at - digits < 10) {
      value = value * 10 + (*at - '0');
      ++at;
    }
    if (at == digits) return false;
    values[field] = negative ? -value : value;
  }
  return at == end;
}

}  // namespace

std::string FormatPartEntry(const PartEntry& entry) {
  return std::to_string(entry.index) + " " + std::to_string(entry.origin_x) + " " +
         std::to_string(entry.origin_y);
}

bool ParsePartEntry(const void* text, size_t size, PartEntry* entry) {
  const char* at = static_cast<const char*>(text);
  const char* end = at + size;
  // A terminating zero byte is allowed, as some writers keep it.
  if (end != at && end[-1] == '\0') --end;
  int64_t values[3];
  if (!ParseNumbers(at, end, 3, values)) return false;
  for (const int64_t value : values) {
    if (value < 0 || value > UINT32_MAX) return false;
  }
  *entry = {uint32_t(values[0]), uint32_t(values[1]), uint32_t(values[2])};
  return true;
}

std::string FormatEmptyParts(const std::vector<EmptyPart>& parts) {
  std::string text;
  for (const EmptyPart& part : parts) {
    text += std::to_string(part.entry.index) + " " + std::to_string(part.width) + " " +
            std::to_string(part.height) + " " + std::to_string(part.entry.origin_x) + " " +
            std::to_string(part.entry.origin_y) + " " + std::to_string(part.top) + "\n";
  }
  return text;
}

std::vector<EmptyPart> ParseEmptyParts(const void* text, size_t size) {
  std::vector<EmptyPart> parts;
  const char* at = static_cast<const char*>(text);
  const char* const end = at + size;
  while (at < end) {
    const char* line_end = at;
    while (line_end != end && *line_end != '\n') ++line_end;
    int64_t v[6];
    if (ParseNumbers(at, line_end, 6, v) && v[0] >= 0 && v[0] <= UINT32_MAX && v[1] >= INT32_MIN &&
        v[1] <= INT32_MAX && v[2] >= 0 && v[2] <= INT32_MAX && v[3] >= 0 && v[3] <= UINT32_MAX &&
        v[4] >= 0 && v[4] <= UINT32_MAX && v[5] >= 0 && v[5] <= UINT32_MAX &&
        (v[1] < 1 || v[2] == 0)) {
      EmptyPart part;
      part.entry = {uint32_t(v[0]), uint32_t(v[3]), uint32_t(v[4])};
      part.width = int32_t(v[1]);
      part.height = int32_t(v[2]);
      part.top = uint32_t(v[5]);
      parts.push_back(part);
    }
    at = line_end + 1;
  }
  return parts;
}

}  // namespace brask_gimp
