// The scalar references of the flat multiply-add. They define what
// AddScaled computes: out[i] = out[i] + in[i] × g, one element at a time in
// increasing i, so with overlapping buffers a later in[i] reads what an
// earlier step wrote. This file is compiled with -fno-tree-vectorize
// (src/CMakeLists.txt): the references stay plain scalar code at every
// optimisation level, an honest baseline for the kernel benchmark.
#include <multitrack/kernels/MixKernels.h>

namespace MixKernels {

namespace {

// A 16-bit sample converts exactly to float; a float passes unchanged.
template <typename Sample>
void AddScaledInOrder(float* out, const Sample* in, std::size_t count, float g)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] += static_cast<float>(in[i]) * g;
}

} // namespace

void AddScaledReference(float* out, const float* in, std::size_t count, float g)
{
    AddScaledInOrder(out, in, count, g);
}

void AddScaledReference(float* out, const std::int16_t* in, std::size_t count, float g)
{
    AddScaledInOrder(out, in, count, g);
}

} // namespace MixKernels
