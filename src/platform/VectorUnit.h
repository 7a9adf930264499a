// Whether the vectorised kernels may serve: VY_SSE2_KERNELS is 1 where the
// compiler targets SSE2 (GCC and Clang say __SSE2__; MSVC says _M_X64, or
// _M_IX86_FP 2 for 32-bit x86 with /arch:SSE2 and above) and scalar float
// arithmetic is plain single precision too (FLT_EVAL_METHOD 0: an x87 build
// keeps excess precision and would round differently from the vector code),
// unless the build forces the scalar references (VY_FORCE_SCALAR_KERNELS).
// A build that must have them (the 32-bit Windows DLL) defines
// VY_REQUIRE_SSE2_KERNELS, and then fails here rather than ship the scalar
// path by accident.
#pragma once

#include <cfloat>

#if (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)) && \
    FLT_EVAL_METHOD == 0 && !defined(VY_FORCE_SCALAR_KERNELS)
#define VY_SSE2_KERNELS 1
#else
#define VY_SSE2_KERNELS 0
#endif

#if defined(VY_REQUIRE_SSE2_KERNELS) && !VY_SSE2_KERNELS
#error "this build must use the SSE2 kernels: compile for SSE2 with SSE arithmetic (-msse2 -mfpmath=sse)"
#endif
