// SPDX-License-Identifier: MIT
// Choosing a pixel decoder's path from what the processor runs.
#include "codec/lz_paths.h"

#include "codec/cpu_features.h"

const char* LzPathName(LzPath path) {
  switch (path) {
    case LzPath::kGroups: return "groups";
    case LzPath::kSse2: return "sse2";
    case LzPath::kSsse3: return "ssse3";
    case LzPath::kAvx2: return "avx2";
  }
  return "?";
}

bool LzPathRuns(LzPath path) {
#if defined(__i386__) || defined(__x86_64__)
  switch (path) {
    case LzPath::kGroups: return true;
    case LzPath::kSse2: return CpuHasSse2();
    case LzPath::kSsse3: return CpuHasSsse3();
    case LzPath::kAvx2: return CpuHasAvx2();
  }
  return false;
#elif defined(BRASK_VECTOR_PATHS)
  return path != LzPath::kAvx2;
#else
  return path == LzPath::kGroups;
#endif
}

LzPath FastestLzPath() {
  if (LzPathRuns(LzPath::kAvx2)) return LzPath::kAvx2;
  if (LzPathRuns(LzPath::kSsse3)) return LzPath::kSsse3;
  if (LzPathRuns(LzPath::kSse2)) return LzPath::kSse2;
  return LzPath::kGroups;
}
