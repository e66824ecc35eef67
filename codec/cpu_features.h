// SPDX-License-Identifier: MIT
// Which vector instructions the processor running us has, for the decoders that choose a
// path at run time. The 32-bit DLL is built for any x86, so even SSE2 is asked for.
#pragma once

// True when the processor runs SSE2 (always on x86-64).
bool CpuHasSse2();
// True when the processor runs SSSE3 (pshufb).
bool CpuHasSsse3();
// True when the processor runs AVX2 and the system saves its registers on a task switch.
bool CpuHasAvx2();
