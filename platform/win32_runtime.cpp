// SPDX-License-Identifier: MIT
// The memory routines the compiler emits calls to. The DLL links no C runtime (it imports
// KERNEL32 alone), so it carries its own; string moves are fast enough for what reaches
// them (the decoders copy with their own inline code).
#if defined(_WIN32)

#include <cstddef>

extern "C" {

void* memcpy(void* dst, const void* src, size_t count) {
  void* d = dst;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(src), "+c"(count) : : "memory");
  return dst;
}

void* memmove(void* dst, const void* src, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d <= s || d >= s + count) return memcpy(dst, src, count);
  d += count - 1;  // overlapping with the destination above: copy backwards
  s += count - 1;
  __asm__ volatile("std\n\trep movsb\n\tcld" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
  return dst;
}

void* memset(void* dst, int value, size_t count) {
  void* d = dst;
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
  return dst;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// Reached only through a call to a pure virtual operation, which no object of ours has.
void __cxa_pure_virtual() { __builtin_trap(); }

}  // extern "C"

#endif  // _WIN32
