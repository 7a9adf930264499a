// The mixing kernels: the vectorised multiply-add bit for bit against its
// scalar reference (random data, odd lengths, misaligned and overlapping
// buffers), and the per-track mixes against a frame-by-frame model of what
// they must compute, plus the exact values the model takes for granted.
#include <multitrack/kernels/MixKernels.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace MixKernels;

constexpr std::size_t kOddLengths[] = {0, 1, 2, 3, 4, 5, 15, 16, 17, 31, 33, 63, 64, 65, 1023, 1024, 1025};

// The draws the random cases need.
struct Draw {
    std::mt19937 engine;
    std::uint32_t Below(std::uint32_t bound) { return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(engine); }
    // An odd length from the list half of the time, any length up to 1100 otherwise.
    std::size_t Length() { return Below(2) == 0 ? kOddLengths[Below(std::size(kOddLengths))] : Below(1101); }
    // Any 16-bit sample, or a finite float with its exponent anywhere in
    // 2^-30..2^30, now and then a signed zero or a subnormal, so that
    // products and sums round everywhere.
    template <typename Sample> Sample Any()
    {
        if constexpr (sizeof(Sample) == 2)
            return static_cast<std::int16_t>(static_cast<std::int32_t>(Below(65536)) - 32768);
        const std::uint32_t kind = Below(100);
        const float value = std::ldexp(std::uniform_real_distribution<float>(1.0f, 2.0f)(engine),
                                       kind == 1 ? -140 : static_cast<int>(Below(61)) - 30);
        return (Below(2) == 0 ? 1.0f : -1.0f) * (kind == 0 ? 0.0f : value);
    }
    template <typename Sample> std::vector<Sample> Fill(std::size_t count)
    {
        std::vector<Sample> values(count);
        std::generate(values.begin(), values.end(), [this] { return Any<Sample>(); });
        return values;
    }
};

// Bit for bit: floats, gain states and vectors of floats.
template <typename T> bool SameBits(const T& a, const T& b)
{
    if constexpr (std::is_trivially_copyable_v<T>)
        return std::memcmp(&a, &b, sizeof a) == 0;
    else
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0);
}

// Output and source in separate buffers at any of the four (eight) offsets
// that give every misalignment, or in one buffer `outMinusIn` source samples
// apart (a 16-bit source reads the bytes the output writes). The whole
// storage is compared with the reference run on a copy, so a write before
// or past the range shows too.
template <typename Sample> void ExpectMatchesReference(Draw& draw, std::size_t count, bool overlap, std::ptrdiff_t outMinusIn)
{
    const float g = draw.Any<float>() * (sizeof(Sample) == 2 ? kInt16Scale : 1.0f);
    const std::size_t outAt = (overlap ? 48 : 0) + draw.Below(4);
    std::vector<float> out(count + 100);
    for (float& value : out)
        value = sizeof(Sample) == 2 ? static_cast<float>(draw.Any<std::int16_t>()) : draw.Any<float>();
    const std::vector<Sample> in = draw.Fill<Sample>(count + 8);
    std::vector<float> twin = out;
    const auto source = [&](float* at) {
        return overlap ? reinterpret_cast<const Sample*>(reinterpret_cast<char*>(at) - outMinusIn * std::ptrdiff_t{sizeof(Sample)})
                       : in.data() + outMinusIn;
    };
    AddScaledReference(twin.data() + outAt, source(twin.data() + outAt), count, g);
    AddScaled(out.data() + outAt, source(out.data() + outAt), count, g);
    ASSERT_TRUE(SameBits(out, twin)) << count << " samples, out +" << outAt << (overlap ? ", overlapping at " : ", in +")
                                     << outMinusIn;
}

TEST(AddScaled, MatchesItsReferenceOnDisjointMisalignedAndOverlappingBuffers)
{
    Draw draw{std::mt19937(0x5eed0001)};
    // Every overlap around the vector widths at every odd length, then at random.
    for (std::ptrdiff_t outMinusIn = -20; outMinusIn <= 20; ++outMinusIn)
        for (std::size_t count : kOddLengths)
            ExpectMatchesReference<float>(draw, count, true, outMinusIn);
    for (int c = 0; c < 1000; ++c) {
        ExpectMatchesReference<float>(draw, draw.Length(), false, draw.Below(4));
        ExpectMatchesReference<std::int16_t>(draw, draw.Length(), false, draw.Below(8));
        ExpectMatchesReference<float>(draw, draw.Length(), true, static_cast<std::ptrdiff_t>(draw.Below(41)) - 20);
        ExpectMatchesReference<std::int16_t>(draw, draw.Length(), true, static_cast<std::ptrdiff_t>(draw.Below(81)) - 40);
    }
}

// What the model below takes for granted: -32768 gives exactly -1 and
// 32767 exactly 1 - 2^-15 (the scale is 2^-15), and a ramp of four frames
// gives quarter steps, ends on the fifth frame and then holds its target.
TEST(MixKernels, SixteenBitScaleAndRampSteps)
{
    const std::int16_t in[] = {-32768, 32767, 1};
    std::vector<float> layered(3, 0.0f), gathered(3, 0.0f);
    TrackGainState state;
    LayeredMix(layered.data(), in, 1, 3, state);
    GatheredMix(gathered.data(), 3, in, 3, 1, 0xFFFFFFFFFF020100, state);
    EXPECT_EQ(layered, (std::vector<float>{-1.0f, 0.999969482421875f, 0x1p-15f}));
    EXPECT_EQ(gathered, layered);

    const std::vector<float> ones(2 * 8, 1.0f);
    std::vector<float> out(ones.size(), 0.0f);
    state = TrackGainState{0.0f, 0.0f, 1.0f, 0, 4};
    LayeredMix(out.data(), ones.data(), 4, 2, state);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(SameBits(state, TrackGainState{0.75f, 0.0f, 1.0f, 4, 4}));
    LayeredMix(out.data() + 8, ones.data() + 8, 4, 2, state);
    EXPECT_EQ(std::vector(out.begin() + 8, out.end()), std::vector<float>(8, 1.0f));
    EXPECT_TRUE(SameBits(state, TrackGainState{1.0f, 0.0f, 0.0f, 0, 0})) << "gain 1, ramp fields cleared";
}

// Frame by frame: the ramp step, g = gain × scale, then each output channel
// adds its source channel × g: the same channel for the layered mix, the
// one its slot names for the gathered mix, none for an unbound slot, a slot
// not below the source's channel count or an output channel past the eighth.
// Any ramp from any point, calls of any sizes (0 included): the bits and
// the state must come out the same.
template <typename Sample> void ExpectTrackMixesMatchTheModel(std::uint32_t seed, float scale)
{
    Draw draw{std::mt19937(seed)};
    for (int c = 0; c < 400; ++c) {
        const bool layered = c % 2 == 0;
        const bool wide = !layered && draw.Below(8) == 0;
        const std::uint32_t sourceChannels = wide ? 250 + draw.Below(60) : 1 + draw.Below(layered ? 8 : 12);
        const std::uint32_t outChannels = layered ? sourceChannels : draw.Below(3) == 0 ? 2 : 1 + draw.Below(10);
        const std::uint32_t frames = draw.Below(wide ? 200 : 2000);
        std::uint32_t slots[kChannelMapSlots];
        std::uint64_t map = 0;
        for (std::uint32_t i = 0; i < kChannelMapSlots; ++i) {
            slots[i] = draw.Below(4) == 0 ? kUnboundSlot : draw.Below(std::min(sourceChannels + 2, 256u));
            map |= std::uint64_t{slots[i]} << (8 * i);
        }
        const std::uint32_t rampLength = draw.Below(2) * (1 + draw.Below(2 * frames + 1));
        TrackGainState state{draw.Any<float>(), draw.Any<float>(), draw.Any<float>(), draw.Below(rampLength + 1), rampLength};
        TrackGainState modelState = state;
        const std::vector<Sample> source = draw.Fill<Sample>(std::size_t{frames} * sourceChannels);
        std::vector<float> out = draw.Fill<float>(std::size_t{frames} * outChannels);
        std::vector<float> model = out;
        for (std::uint32_t f = 0; f < frames; ++f) {
            RampStep(modelState);
            for (std::uint32_t i = 0; i < outChannels; ++i) {
                const std::uint32_t k = layered ? i : i < kChannelMapSlots ? slots[i] : kUnboundSlot;
                if (k != kUnboundSlot && k < sourceChannels)
                    model[f * outChannels + i] += static_cast<float>(source[f * sourceChannels + k]) * (modelState.gain * scale);
            }
        }
        for (std::uint32_t done = 0, block = 0; done < frames; done += block) {
            block = std::min(frames - done, draw.Below(2) == 0 ? frames : draw.Below(700));
            float* at = out.data() + std::size_t{done} * outChannels;
            const Sample* from = source.data() + std::size_t{done} * sourceChannels;
            if (layered)
                LayeredMix(at, from, block, sourceChannels, state);
            else
                GatheredMix(at, outChannels, from, sourceChannels, block, map, state);
        }
        ASSERT_TRUE(SameBits(out, model)) << "case " << c << ": " << frames << " frames, " << sourceChannels << " to "
                                          << outChannels << " channels";
        ASSERT_TRUE(SameBits(state, modelState)) << "case " << c;
    }
}

TEST(MixKernels, TrackMixesMatchTheFrameByFrameModel)
{
    ExpectTrackMixesMatchTheModel<float>(0x5eed0009, 1.0f);
    ExpectTrackMixesMatchTheModel<std::int16_t>(0x5eed000a, kInt16Scale);
}

} // namespace
