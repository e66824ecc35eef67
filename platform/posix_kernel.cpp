// SPDX-License-Identifier: MIT
// The POSIX stand-in for the KERNEL32 calls the plug-in makes, with the Windows behaviour the
// code relies on: a directory cannot be opened as a file, a mapping of an empty file fails,
// a view is unmapped by its address alone, and a failed call reports it as Windows does. A
// read-only view is the file read into memory: a view however it is made.
// It also carries the tests' switch (fault_injection.h).
#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/fault_injection.h"
#include "platform/kernel.h"

namespace platform {
namespace {

thread_local long tl_fail_at = 0;
thread_local long tl_counted = 0;
thread_local KernelCall tl_failed = KernelCall::kNone;
std::atomic<long> g_live{0};
std::atomic<int> g_fresh_fill{-1};
std::atomic<size_t> g_allocation_limit{0};

bool OverLimit(size_t bytes) {
  const size_t limit = g_allocation_limit.load(std::memory_order_relaxed);
  return limit != 0 && bytes > limit;
}

// Counts the call and tells whether the switch makes it fail.
bool ShouldFail(KernelCall call) {
  ++tl_counted;
  if (tl_fail_at == 0 || tl_counted != tl_fail_at) return false;
  tl_failed = call;
  return true;
}

// The size of each file CreateFileA opened, read then and kept until CloseHandle, for the
// first kOpenedSlots descriptors (others ask the system each time). The plug-in opens files
// with FILE_SHARE_READ, which on Windows keeps writers out while the file is open, so that
// size stands for the file's size until it is closed. Here it spares two fstat calls a
// picture, and the size the exports read through and the bytes of the view come from the
// same moment: a file shortened meanwhile fails to map instead of giving a view shorter than
// its size. A slot holds the size plus one, 0 when its descriptor is not ours.
constexpr int kOpenedSlots = 1024;
std::atomic<uint64_t> g_opened_sizes[kOpenedSlots];

void RememberSize(int fd, off_t size) {
  if (fd >= 0 && fd < kOpenedSlots && size >= 0) {
    g_opened_sizes[fd].store(static_cast<uint64_t>(size) + 1, std::memory_order_relaxed);
  }
}

void ForgetSize(int fd) {
  if (fd >= 0 && fd < kOpenedSlots) g_opened_sizes[fd].store(0, std::memory_order_relaxed);
}

bool SizeOf(int fd, off_t* size) {
  const uint64_t kept = fd >= 0 && fd < kOpenedSlots
                            ? g_opened_sizes[fd].load(std::memory_order_relaxed)
                            : 0;
  if (kept != 0) {
    *size = static_cast<off_t>(kept - 1);
    return true;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  *size = st.st_size;
  return true;
}

void Acquired() { g_live.fetch_add(1, std::memory_order_relaxed); }
void Released() { g_live.fetch_sub(1, std::memory_order_relaxed); }

int ToFd(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }
HANDLE ToHandle(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// A local block: the handle points at this header, the caller's bytes follow it.
struct LocalBlock {
  uint32_t magic;
  uint32_t lock_count;
  size_t size;
  alignas(16) unsigned char bytes[1];
};
constexpr uint32_t kLocalBlockMagic = 0x4B4C4248u;
constexpr size_t kLocalBlockHeader = offsetof(LocalBlock, bytes);

LocalBlock* ToBlock(HLOCAL handle) {
  LocalBlock* block = static_cast<LocalBlock*>(handle);
  return block != nullptr && block->magic == kLocalBlockMagic ? block : nullptr;
}

// A file is read into heap memory when its mapping is made, never mapped from the file: a
// file that another process shortens while it is mapped raises SIGBUS on the next read of a
// page past its new end, which would kill the host (a viewer, a thumbnailer). Read, the bytes
// stay what they were when the mapping was made. Reading is also the faster way: mapping
// costs mmap, a page fault per page and munmap with its TLB flush; every G00 file of
// picture_bench (12 KB to 1.4 MB) decoded faster read than mapped, the 64 x 64 sprite 2.2 to
// 2.7 times (x86-64 VM, gcc 12), and larger files decode at the same speed either way.
// The file goes into one block that the mapping handle and each view share (either may be
// closed first, as on Windows). With the size kept from the opening, a picture makes 4
// system calls.

// The block of a file read into memory: its reference count, then the bytes. The mapping
// handle and each view hold a reference.
struct ReadMapping {
  size_t references;  // changed atomically: views may be unmapped on other threads
};
constexpr size_t kReadMappingBytes = 16;
static_assert(sizeof(ReadMapping) <= kReadMappingBytes, "views stay 16-aligned");
constexpr uintptr_t kBlockAlignment = 16;

unsigned char* ViewOf(ReadMapping* mapping) {
  return reinterpret_cast<unsigned char*>(mapping) + kReadMappingBytes;
}

ReadMapping* MappingOfView(const void* view) {
  const unsigned char* bytes = static_cast<const unsigned char*>(view);
  return reinterpret_cast<ReadMapping*>(
      const_cast<unsigned char*>(bytes - kReadMappingBytes));
}

// Such a mapping's handle is negative, which no descriptor is: -2 - address / 16. Handles
// of descriptors stay the descriptors, as hosts pass them to IsSupported.
bool IsReadMapping(HANDLE handle) { return reinterpret_cast<intptr_t>(handle) < -1; }

HANDLE ToHandle(ReadMapping* mapping) {
  const uintptr_t units = reinterpret_cast<uintptr_t>(mapping) / kBlockAlignment;
  return reinterpret_cast<HANDLE>(-2 - static_cast<intptr_t>(units));
}

ReadMapping* ToReadMapping(HANDLE handle) {
  const uintptr_t units = static_cast<uintptr_t>(-2 - reinterpret_cast<intptr_t>(handle));
  return reinterpret_cast<ReadMapping*>(units * kBlockAlignment);
}

void Unreference(ReadMapping* mapping) {
  if (__atomic_sub_fetch(&mapping->references, 1, __ATOMIC_ACQ_REL) == 0) std::free(mapping);
}

// The whole file read into a block held by the mapping handle; null if it cannot be read
// whole.
ReadMapping* ReadWholeFile(int fd, size_t length) {
  void* block = nullptr;
  if (posix_memalign(&block, kBlockAlignment, kReadMappingBytes + length) != 0) {
    return nullptr;
  }
  ReadMapping* mapping = static_cast<ReadMapping*>(block);
  mapping->references = 1;
  unsigned char* view = ViewOf(mapping);
  size_t done = 0;
  while (done < length) {
    const ssize_t got = pread(fd, view + done, length - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  if (done != length) {  // shortened since it was opened, or unreadable
    std::free(block);
    return nullptr;
  }
  return mapping;
}

}  // namespace

void FailCountedCall(long n) {
  tl_fail_at = n;
  tl_counted = 0;
  tl_failed = KernelCall::kNone;
}
long CountedCallsSoFar() { return tl_counted; }
KernelCall FailedCall() { return tl_failed; }
long LiveResources() { return g_live.load(std::memory_order_relaxed); }
void SetAllocationLimit(size_t bytes) { g_allocation_limit.store(bytes, std::memory_order_relaxed); }
void SetFreshMemoryFill(int byte_value) { g_fresh_fill.store(byte_value, std::memory_order_relaxed); }

namespace {
void FillFresh(void* memory, size_t bytes) {
  const int fill = g_fresh_fill.load(std::memory_order_relaxed);
  if (fill >= 0) std::memset(memory, fill, bytes);
}
}  // namespace

const char* KernelCallName(KernelCall call) {
  switch (call) {
    case KernelCall::kNone: return "none";
    case KernelCall::kCreateFile: return "CreateFileA";
    case KernelCall::kReadFile: return "ReadFile";
    case KernelCall::kCreateFileMapping: return "CreateFileMappingA";
    case KernelCall::kMapViewOfFile: return "MapViewOfFile";
    case KernelCall::kHeapAlloc: return "HeapAlloc";
    case KernelCall::kLocalAlloc: return "LocalAlloc";
    case KernelCall::kLocalLock: return "LocalLock";
  }
  return "?";
}

}  // namespace platform

using platform::KernelCall;

extern "C" {

HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (platform::ShouldFail(KernelCall::kCreateFile) || name == nullptr) return INVALID_HANDLE_VALUE;
  int fd;
  do {
    fd = open(name, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Windows refuses to open a folder here
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  platform::RememberSize(fd, st.st_size);
  platform::Acquired();
  return platform::ToHandle(fd);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
  int64_t offset = distance;
  if (distance_high != nullptr) {
    offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                  static_cast<uint32_t>(distance));
  }
  int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
  off_t result = lseek(platform::ToFd(file), static_cast<off_t>(offset), whence);
  if (result < 0) return INVALID_SET_FILE_POINTER;  // a negative target leaves the position as it was
  if (distance_high != nullptr) *distance_high = static_cast<LONG>(static_cast<uint64_t>(result) >> 32);
  return static_cast<DWORD>(static_cast<uint64_t>(result));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read, void*) {
  if (bytes_read != nullptr) *bytes_read = 0;
  if (platform::ShouldFail(KernelCall::kReadFile)) return FALSE;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  DWORD total = 0;
  while (total < bytes_to_read) {
    ssize_t got = read(platform::ToFd(file), out + total, bytes_to_read - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FALSE;
    if (got == 0) break;
    total += static_cast<DWORD>(got);
  }
  if (bytes_read != nullptr) *bytes_read = total;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD size_high) {
  off_t file_size;
  if (!platform::SizeOf(platform::ToFd(file), &file_size)) return INVALID_FILE_SIZE;
  uint64_t size = static_cast<uint64_t>(file_size);
  if (size_high != nullptr) *size_high = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE handle) {
  // Null and INVALID_HANDLE_VALUE are no handle (as on Windows, the call fails); null must
  // never reach close(), where it is descriptor 0.
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return FALSE;
  if (platform::IsReadMapping(handle)) {
    platform::Unreference(platform::ToReadMapping(handle));
    platform::Released();
    return TRUE;
  }
  platform::ForgetSize(platform::ToFd(handle));
  if (close(platform::ToFd(handle)) != 0) return FALSE;
  platform::Released();
  return TRUE;
}

// A mapping is the file read into memory (see ReadWholeFile), up to the size it had when it
// was opened.
HANDLE CreateFileMappingA(HANDLE file, void*, DWORD, DWORD, DWORD, LPCSTR) {
  if (platform::ShouldFail(KernelCall::kCreateFileMapping)) return nullptr;
  off_t size;
  if (!platform::SizeOf(platform::ToFd(file), &size) || size <= 0) return nullptr;  // as Windows
  if (static_cast<uint64_t>(size) > SIZE_MAX / 2) return nullptr;
  platform::ReadMapping* mapping =
      platform::ReadWholeFile(platform::ToFd(file), static_cast<size_t>(size));
  if (mapping == nullptr) return nullptr;
  platform::Acquired();
  return platform::ToHandle(mapping);
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD, DWORD, DWORD, SIZE_T) {
  if (platform::ShouldFail(KernelCall::kMapViewOfFile) || !platform::IsReadMapping(mapping)) {
    return nullptr;
  }
  platform::ReadMapping* read = platform::ToReadMapping(mapping);
  __atomic_add_fetch(&read->references, 1, __ATOMIC_RELAXED);
  platform::Acquired();
  return platform::ViewOf(read);
}

BOOL UnmapViewOfFile(LPCVOID view) {
  if (view == nullptr) return FALSE;
  platform::Unreference(platform::MappingOfView(view));
  platform::Released();
  return TRUE;
}

HANDLE GetProcessHeap(void) {
  static int heap_tag;
  return &heap_tag;
}

LPVOID HeapAlloc(HANDLE, DWORD, SIZE_T bytes) {
  if (platform::ShouldFail(KernelCall::kHeapAlloc) || platform::OverLimit(bytes)) return nullptr;
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) return nullptr;
  platform::FillFresh(memory, bytes);
  platform::Acquired();
  return memory;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID memory) {
  if (memory == nullptr) return FALSE;
  std::free(memory);
  platform::Released();
  return TRUE;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if (platform::ShouldFail(KernelCall::kLocalAlloc) || platform::OverLimit(bytes)) return nullptr;
  if (bytes > SIZE_MAX - platform::kLocalBlockHeader) return nullptr;
  const size_t total = platform::kLocalBlockHeader + bytes;
  void* memory = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, total) : std::malloc(total);
  if (memory == nullptr) return nullptr;
  platform::LocalBlock* block = static_cast<platform::LocalBlock*>(memory);
  block->magic = platform::kLocalBlockMagic;
  block->lock_count = 0;
  block->size = bytes;
  if ((flags & LMEM_ZEROINIT) == 0) platform::FillFresh(block->bytes, bytes);
  platform::Acquired();
  return block;
}

LPVOID LocalLock(HLOCAL handle) {
  if (platform::ShouldFail(KernelCall::kLocalLock)) return nullptr;
  platform::LocalBlock* block = platform::ToBlock(handle);
  if (block == nullptr) return nullptr;
  ++block->lock_count;
  return block->bytes;
}

BOOL LocalUnlock(HLOCAL handle) {
  platform::LocalBlock* block = platform::ToBlock(handle);
  if (block == nullptr || block->lock_count == 0) return FALSE;
  --block->lock_count;
  return block->lock_count != 0 ? TRUE : FALSE;  // as Windows: non-zero while still locked
}

HLOCAL LocalFree(HLOCAL handle) {
  if (handle == nullptr) return nullptr;
  platform::LocalBlock* block = platform::ToBlock(handle);
  if (block == nullptr) return handle;  // Windows answers a bad handle with the handle itself
  block->magic = 0;
  std::free(block);
  platform::Released();
  return nullptr;
}

SIZE_T LocalSize(HLOCAL handle) {
  platform::LocalBlock* block = platform::ToBlock(handle);
  return block != nullptr ? block->size : 0;
}

int lstrlenA(LPCSTR text) {
  if (text == nullptr) return 0;
  return static_cast<int>(std::strlen(text));
}

int lstrcmpiA(LPCSTR left, LPCSTR right) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(left != nullptr ? left : "");
  const unsigned char* b = reinterpret_cast<const unsigned char*>(right != nullptr ? right : "");
  for (;; ++a, ++b) {
    int ca = (*a >= 'A' && *a <= 'Z') ? *a + ('a' - 'A') : *a;
    int cb = (*b >= 'A' && *b <= 'Z') ? *b + ('a' - 'A') : *b;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max_count) {
  if (dst == nullptr || max_count <= 0) return dst;
  int i = 0;
  if (src != nullptr) {
    for (; i < max_count - 1 && src[i] != '\0'; ++i) dst[i] = src[i];
  }
  dst[i] = '\0';
  return dst;
}

}  // extern "C"

#endif  // !_WIN32
