// The interleaving kernel: the vectorised routine bit for bit against its
// scalar reference over channel layouts, shorter links and odd lengths, with
// nothing written past the block; and the reference's meaning on one small
// case written out by hand.
#include <decoders/InterleaveKernels.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace InterleaveKernels;

constexpr float kSentinel = -7.25f;

struct Layout {
    std::uint32_t channels;
    std::uint32_t planes; // fewer than channels: a shorter chained link
};

TEST(InterleaveScaled, MatchesItsReferenceBitForBit)
{
    const Layout layouts[] = {{1, 1}, {2, 2}, {2, 1}, {2, 0}, {3, 3}, {6, 6}, {6, 2}, {2, 3}};
    const std::uint32_t lengths[] = {0, 1, 3, 4, 5, 7, 8, 9, 1023, 4096};
    const float gains[] = {1.0f, 0.5f, -3.7e-3f, 1.7e38f};
    std::mt19937 engine(5);
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (const Layout layout : layouts)
        for (const std::uint32_t frames : lengths)
            for (const float g : gains) {
                // Planes that start at odd offsets, so no load is aligned by luck.
                std::vector<std::vector<float>> storage(layout.planes, std::vector<float>(frames + 1));
                std::vector<const float*> planes;
                for (auto& plane : storage) {
                    for (float& v : plane)
                        v = std::ldexp(mantissa(engine), exponent(engine)) * (engine() % 2 ? 1.0f : -1.0f);
                    planes.push_back(plane.data() + 1);
                }
                const std::size_t count = std::size_t{frames} * layout.channels;
                std::vector<float> fast(count + 3, kSentinel);
                std::vector<float> reference(count + 3, kSentinel);
                InterleaveScaled(planes.data(), layout.planes, layout.channels, frames, g, fast.data() + 1);
                InterleaveScaledReference(planes.data(), layout.planes, layout.channels, frames, g,
                                          reference.data() + 1);
                EXPECT_EQ(0, std::memcmp(fast.data(), reference.data(), fast.size() * sizeof(float)))
                    << layout.channels << " channels, " << layout.planes << " planes, " << frames
                    << " frames, gain " << g;
                EXPECT_EQ(fast[0], kSentinel);
                EXPECT_EQ(fast[count + 1], kSentinel);
            }
}

TEST(InterleaveScaled, ReferenceScalesPairsUpAndSilencesMissingChannels)
{
    const float left[] = {1.0f, 2.0f};
    const float* planes[] = {left};
    float out[6];
    InterleaveScaledReference(planes, 1, 3, 2, 0.5f, out);
    const float expected[] = {0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    EXPECT_EQ(0, std::memcmp(out, expected, sizeof out));
}

} // namespace
