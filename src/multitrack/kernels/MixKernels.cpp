// The flat multiply-add out[i] += in[i] × g behind the layered mix: the one
// point that picks between the SSE2 loops below and the scalar references
// (MixKernelsReference.cpp), and the SSE2 loops themselves.
//
// The SSE2 loops serve only where they give the reference's bits: on a
// machine with SSE2 whose scalar float arithmetic is plain single precision
// too (FLT_EVAL_METHOD 0; an x87 build rounds out + in × g once instead of
// twice and takes the references), and unless the build forces the
// references (VY_FORCE_SCALAR_KERNELS). Unaligned pointers are fine: every
// load and store is an unaligned one.
#include <multitrack/kernels/MixKernels.h>

#include <cstdint>

#include <platform/VectorUnit.h>

#if VY_SSE2_KERNELS
#include <emmintrin.h>
#endif

namespace MixKernels {

namespace {

#if VY_SSE2_KERNELS

// How far one vector step may reach while the results still equal the
// reference, which reads in[i] after it has written out[0..i-1].
enum class VectorStep {
    Sixteen, // disjoint buffers: 16 samples a step, then 4, then single ones
    Four,    // overlap no 4-wide step can misread: 4 a step, then single ones
    None,    // overlap that a vector step would misread: single samples only
};

// A float source that starts at the output or after it only ever hands a
// step inputs not yet written; one that starts at least four floats before
// it hands a 4-wide step only outputs of earlier steps, as the reference
// reads them. An output 1-3 floats after its source would make a step read
// its own stale outputs, and a 16-bit source sharing any byte with the
// output is not worth reasoning about: both take the scalar path.
template <typename Sample> VectorStep StepFor(const float* out, const Sample* in, std::size_t count)
{
    const auto outAt = reinterpret_cast<std::uintptr_t>(out);
    const auto inAt = reinterpret_cast<std::uintptr_t>(in);
    if (outAt + count * sizeof(float) <= inAt || inAt + count * sizeof(Sample) <= outAt)
        return VectorStep::Sixteen;
    if constexpr (sizeof(Sample) == sizeof(float)) {
        if (outAt <= inAt || outAt - inAt >= 4 * sizeof(float))
            return VectorStep::Four;
    }
    return VectorStep::None;
}

// 16 consecutive samples as four 4-wide float vectors.
struct Sixteen {
    __m128 quarter[4];
};

// in[0..3]
__m128 LoadFour(const float* in)
{
    return _mm_loadu_ps(in);
}

// float(in[0..3]): each 16-bit sample moves into the top half of a 32-bit
// lane, an arithmetic shift brings it down sign-extended, and the int to
// float conversion is exact (|s| ≤ 2^15 < 2^24).
__m128 LoadFour(const std::int16_t* in)
{
    const __m128i samples = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
    return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16));
}

// in[0..15]
Sixteen LoadSixteen(const float* in)
{
    return {{_mm_loadu_ps(in), _mm_loadu_ps(in + 4), _mm_loadu_ps(in + 8), _mm_loadu_ps(in + 12)}};
}

// float(in[0..15]), widened as in LoadFour, eight samples per load.
Sixteen LoadSixteen(const std::int16_t* in)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
    return {{_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(low, low), 16)),
             _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(low, low), 16)),
             _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(high, high), 16)),
             _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(high, high), 16))}};
}

void AddScaledFour(float* out, __m128 samples, __m128 gain)
{
    // out[k] = out[k] + in[k] * g, for k = 0..3
    _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(samples, gain)));
}

template <typename Sample>
void AddScaledSse2(float* out, const Sample* in, std::size_t count, float g)
{
    const VectorStep step = StepFor(out, in, count);
    const __m128 gain = _mm_set1_ps(g);
    std::size_t i = 0;
    if (step == VectorStep::Sixteen) {
        for (; i + 16 <= count; i += 16) {
            // in[i..i+15], all loaded before any of out[i..i+15] is stored
            const Sixteen samples = LoadSixteen(in + i);
            for (std::size_t q = 0; q < 4; ++q)
                AddScaledFour(out + i + 4 * q, samples.quarter[q], gain);
        }
    }
    if (step != VectorStep::None) {
        for (; i + 4 <= count; i += 4)
            AddScaledFour(out + i, LoadFour(in + i), gain);
    }
    // Leftover: single samples, exactly as the reference does them.
    if (i < count)
        AddScaledReference(out + i, in + i, count - i, g);
}

#endif

// The one dispatch point of the flat multiply-add.
template <typename Sample>
void AddScaledDispatch(float* out, const Sample* in, std::size_t count, float g)
{
#if VY_SSE2_KERNELS
    AddScaledSse2(out, in, count, g);
#else
    AddScaledReference(out, in, count, g);
#endif
}

} // namespace

void AddScaled(float* out, const float* in, std::size_t count, float g)
{
    AddScaledDispatch(out, in, count, g);
}

void AddScaled(float* out, const std::int16_t* in, std::size_t count, float g)
{
    AddScaledDispatch(out, in, count, g);
}

} // namespace MixKernels
