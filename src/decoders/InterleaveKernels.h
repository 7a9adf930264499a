// Turns a decoder's per-channel sample planes into the frame-interleaved
// block the sound system takes, scaling every sample by the source's gain:
// out[k × channels + c] = planes[c][k] × g for c < planeCount, and 0 for the
// channels a shorter link lacks. Each output is one single-precision product,
// so the vectorised routine and its scalar reference give the same bits.
#pragma once

#include <cstdint>

namespace InterleaveKernels {

// Vectorised for stereo where the machine allows (SSE2 on x86-64); `out`
// must not overlap the planes. Allocates nothing.
void InterleaveScaled(const float* const* planes, std::uint32_t planeCount, std::uint32_t channels,
                      std::uint32_t frames, float g, float* out);
// The plain scalar reference, compiled in every build.
void InterleaveScaledReference(const float* const* planes, std::uint32_t planeCount, std::uint32_t channels,
                               std::uint32_t frames, float g, float* out);

} // namespace InterleaveKernels
