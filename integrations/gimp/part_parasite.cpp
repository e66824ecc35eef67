#include "integrations/gimp/part_parasite.h"

#include <cctype>

namespace brask_gimp {

const char kPartParasiteName[] = "brask-part";

std::string FormatPartEntry(const PartEntry& entry) {
  return std::to_string(entry.index) + " " + std::to_string(entry.origin_x) + " " +
         std::to_string(entry.origin_y);
}

bool ParsePartEntry(const void* text, size_t size, PartEntry* entry) {
  const char* at = static_cast<const char*>(text);
  const char* const end = at + size;
  uint32_t* const fields[] = {&entry->index, &entry->origin_x, &entry->origin_y};
  PartEntry parsed;
  uint32_t* const into[] = {&parsed.index, &parsed.origin_x, &parsed.origin_y};
  for (size_t field = 0; field < 3; ++field) {
    if (field > 0) {
      if (at == end || *at != ' ') return false;
      ++at;
    }
    uint64_t value = 0;
    const char* const digits = at;
    while (at != end && std::isdigit(static_cast<unsigned char>(*at)) && at - digits < 10) {
      value = value * 10 + static_cast<uint64_t>(*at - '0');
      ++at;
    }
    if (at == digits || value > UINT32_MAX) return false;
    *into[field] = static_cast<uint32_t>(value);
  }
  // A terminating zero byte is allowed, as some writers keep it.
  if (at != end && !(end - at == 1 && *at == '\0')) return false;
  for (size_t field = 0; field < 3; ++field) *fields[field] = *into[field];
  return true;
}

}  // namespace brask_gimp
