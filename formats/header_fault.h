// SPDX-License-Identifier: MIT
// Why a header reader refused a picture, for messages: a file cut short (bytes needed and
// held) or fields that contradict each other or the data. The words are a printf format
// with two unsigned long long values, so that readers allocate and format nothing.
#pragma once

#include <cstdint>

struct HeaderFault {
  bool cut_short = false;      // the data ends before what the header says must be there
  const char* words = nullptr; // e.g. "its header needs %llu bytes, the file holds %llu"
  uint64_t first = 0;
  uint64_t second = 0;
};

// Records the fault (when asked for one) and answers false, for `return Refuse(...)`.
inline bool Refuse(HeaderFault* fault, bool cut_short, const char* words, uint64_t first,
                   uint64_t second) {
  if (fault != nullptr) *fault = HeaderFault{cut_short, words, first, second};
  return false;
}
