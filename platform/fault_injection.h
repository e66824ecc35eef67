// SPDX-License-Identifier: MIT
// A switch for tests: make one chosen kernel call fail, and count what is still held, so
// that every failure path of a decode can be driven and checked for leaks. It is built into
// the POSIX stand-in; the Windows DLL never has it.
#pragma once

#include <cstddef>

namespace platform {

// The calls that the switch counts and can make fail.
enum class KernelCall { kNone, kCreateFile, kReadFile, kCreateFileMapping, kMapViewOfFile,
                        kHeapAlloc, kLocalAlloc, kLocalLock };

// From now on, the n-th counted call made on this thread fails (1 is the next one);
// 0 turns the switch off. Either way the count of calls starts again from zero.
void FailCountedCall(long n);

// Counted calls made on this thread since the last FailCountedCall.
long CountedCallsSoFar();

// The call that the switch made fail on this thread, or kNone.
KernelCall FailedCall();

// Local blocks, heap buffers, file handles, mappings and views not yet released, all threads.
long LiveResources();

const char* KernelCallName(KernelCall call);

// Fills every heap buffer and every local block allocated without LMEM_ZEROINIT with this byte
// (0 to 255), or leaves them as the allocator gives them (-1, the default). Decoding the same
// file under two fills and comparing the results shows whether unwritten memory leaks out.
void SetFreshMemoryFill(int byte_value);

// Heap buffers and local blocks larger than this many bytes are refused as if memory had run
// out (0, the default: no limit). Fuzz targets use it to keep huge but valid claims cheap.
void SetAllocationLimit(size_t bytes);

}  // namespace platform
