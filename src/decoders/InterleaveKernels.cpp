// The interleaving kernel and its scalar reference. The SSE2 loop serves
// only where it gives the reference's bits: SSE2 with plain single-precision
// scalar arithmetic (FLT_EVAL_METHOD 0), unless the build forces the
// references (VY_FORCE_SCALAR_KERNELS).
#include <decoders/InterleaveKernels.h>

#include <cstddef>

#include <platform/VectorUnit.h>

#if VY_SSE2_KERNELS
#include <emmintrin.h>
#endif

namespace InterleaveKernels {

void InterleaveScaledReference(const float* const* planes, std::uint32_t planeCount, std::uint32_t channels,
                               std::uint32_t frames, float g, float* out)
{
    for (std::uint32_t k = 0; k < frames; ++k)
        for (std::uint32_t c = 0; c < channels; ++c)
            out[std::size_t{k} * channels + c] = c < planeCount ? planes[c][k] * g : 0.0f;
}

#if VY_SSE2_KERNELS
namespace {

// Four frames a step: both planes' four samples scaled, then paired up
// left-right by the unpack instructions.
void InterleaveStereo(const float* left, const float* right, std::uint32_t frames, float g, float* out)
{
    const __m128 gain = _mm_set1_ps(g);
    std::uint32_t k = 0;
    for (; k + 4 <= frames; k += 4) {
        const __m128 l = _mm_mul_ps(_mm_loadu_ps(left + k), gain);
        const __m128 r = _mm_mul_ps(_mm_loadu_ps(right + k), gain);
        _mm_storeu_ps(out + 2 * std::size_t{k}, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(out + 2 * std::size_t{k} + 4, _mm_unpackhi_ps(l, r));
    }
    for (; k < frames; ++k) {
        out[2 * std::size_t{k}] = left[k] * g;
        out[2 * std::size_t{k} + 1] = right[k] * g;
    }
}

} // namespace
#endif

void InterleaveScaled(const float* const* planes, std::uint32_t planeCount, std::uint32_t channels,
                      std::uint32_t frames, float g, float* out)
{
#if VY_SSE2_KERNELS
    if (channels == 2 && planeCount >= 2) {
        InterleaveStereo(planes[0], planes[1], frames, g, out);
        return;
    }
#endif
    if (channels == 1 && planeCount >= 1) {
        // A scaled copy, which the compiler vectorises.
        for (std::uint32_t k = 0; k < frames; ++k)
            out[k] = planes[0][k] * g;
        return;
    }
    // One channel at a time, so each plane is read straight through.
    for (std::uint32_t c = 0; c < channels; ++c) {
        float* dst = out + c;
        for (std::uint32_t k = 0; k < frames; ++k)
            dst[std::size_t{k} * channels] = c < planeCount ? planes[c][k] * g : 0.0f;
    }
}

} // namespace InterleaveKernels
