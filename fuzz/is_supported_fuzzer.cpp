// SPDX-License-Identifier: MIT
// IsSupported with both kinds of source: a pointer to the first bytes, and a file handle
// (a descriptor here) whose next bytes are read. Both must agree. Byte 0: the name's
// length (up to 31), then the name, then the head.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "host/plugin_api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const size_t name_length = data[0] % 32;
  if (size - 1 < name_length) return 0;
  const std::string name(reinterpret_cast<const char*>(data + 1), name_length);
  const std::vector<uint8_t> head(data + 1 + name_length, data + size);

  // The handle: a pipe holding the head, read as a host's open file would be.
  int ends[2];
  if (pipe(ends) != 0) return 0;
  const size_t fits = head.size() < 4096 ? head.size() : 4096;
  if (fits > 0 && write(ends[1], head.data(), fits) != static_cast<ssize_t>(fits)) __builtin_trap();
  close(ends[1]);
  const int32_t from_handle = IsSupported(name.c_str(), static_cast<uintptr_t>(ends[0]));
  close(ends[0]);
  if (from_handle != 0 && from_handle != static_cast<int32_t>(std::strlen(name.c_str()))) {
    __builtin_trap();
  }

  // The pointer: the host promises the first bytes; give exactly five when there are five.
  if (head.size() >= 5) {
    const std::vector<uint8_t> five(head.begin(), head.begin() + 5);
    const int32_t from_pointer = IsSupported(name.c_str(), reinterpret_cast<uintptr_t>(five.data()));
    if (from_pointer != from_handle) __builtin_trap();
  } else if (from_handle != 0) {
    __builtin_trap();
  }
  return 0;
}
