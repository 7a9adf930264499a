# 32-bit Windows (i686), as the engine runs.
set(VY_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# SSE2 arithmetic, not x87: x87's excess precision would round the mix
# differently from every other build, and the vector kernels need SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
