// The mixing kernels: the vectorised multiply-add bit for bit against its
// scalar reference (random data, odd lengths, misaligned and overlapping
// buffers), and the per-track mixes against the sums and ramps they must
// produce.
#include <multitrack/MixKernels.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using namespace MixKernels;

constexpr int kRandomCases = 1000;
constexpr std::size_t kOddLengths[] = {0, 1, 2, 3, 4, 5, 15, 16, 17, 31, 33, 63, 64, 65, 1023, 1024, 1025};

// The draws the random cases need.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t Below(std::uint32_t bound) { return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(engine_); }

    // An odd length from the list half of the time, any length up to 1100 otherwise.
    std::size_t Length() { return Below(2) == 0 ? kOddLengths[Below(std::size(kOddLengths))] : Below(1101); }

    // A finite float with its exponent anywhere in 2^-30..2^30, now and then a
    // signed zero or a subnormal, so that products and sums round everywhere;
    // or any 16-bit sample.
    template <typename Sample> Sample Any()
    {
        if constexpr (std::is_same_v<Sample, std::int16_t>) {
            return static_cast<std::int16_t>(static_cast<std::int32_t>(Below(65536)) - 32768);
        } else {
            const std::uint32_t kind = Below(100);
            const float sign = Below(2) == 0 ? 1.0f : -1.0f;
            const float mantissa = std::uniform_real_distribution<float>(1.0f, 2.0f)(engine_);
            return kind == 0 ? sign * 0.0f : sign * std::ldexp(mantissa, kind == 1 ? -140 : static_cast<int>(Below(61)) - 30);
        }
    }
    float Wide() { return Any<float>(); }

    template <typename Sample> std::vector<Sample> Fill(std::size_t count)
    {
        std::vector<Sample> values(count);
        std::generate(values.begin(), values.end(), [this] { return Any<Sample>(); });
        return values;
    }

private:
    std::mt19937 engine_;
};

// Storage whose element `skip` lies on a 16-byte boundary, so that offsets
// from it give every misalignment a type allows.
template <typename T> struct Aligned16 {
    explicit Aligned16(std::vector<T> values) : all(std::move(values))
    {
        while (reinterpret_cast<std::uintptr_t>(all.data() + skip) % 16 != 0)
            ++skip;
    }
    T* At(std::size_t element) { return all.data() + skip + element; }
    std::vector<T> all;
    std::size_t skip = 0;
};

// Bit for bit: floats, gain states and vectors of floats.
template <typename T> bool SameBits(const T& a, const T& b)
{
    if constexpr (std::is_trivially_copyable_v<T>)
        return std::memcmp(&a, &b, sizeof a) == 0;
    else
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0);
}

TrackGainState Ramp(float from, float to, std::uint32_t length, float gain = 0.0f)
{
    return TrackGainState{gain, from, to, 0, length};
}

// --- AddScaled against its reference -----------------------------------------

// Separate buffers, each at any misalignment; the whole storage is compared,
// so a write before or past the range shows too.
template <typename Sample> void ExpectDisjointMatchesReference(std::uint32_t seed)
{
    Draw draw(seed);
    for (int c = 0; c < kRandomCases; ++c) {
        const std::size_t count = draw.Length();
        const std::size_t outShift = draw.Below(4);
        const std::size_t inShift = draw.Below(16 / sizeof(Sample));
        const float g = draw.Wide();
        Aligned16<float> out(draw.Fill<float>(count + 8));
        Aligned16<Sample> in(draw.Fill<Sample>(count + 8));
        std::vector<float> expected = out.all;
        AddScaledReference(expected.data() + out.skip + outShift, in.At(inShift), count, g);
        AddScaled(out.At(outShift), in.At(inShift), count, g);
        ASSERT_TRUE(SameBits(out.all, expected)) << "case " << c << ": count " << count << ", out +" << outShift * 4
                                                 << " bytes, in +" << inShift * sizeof(Sample) << " bytes";
    }
}

// Output and source in one buffer, `outMinusIn` elements of the output
// apart (in bytes for 16-bit sources, which read the very bytes the output
// writes); the reference runs on a copy of the buffer.
template <typename Sample> void ExpectOverlapMatchesReference(Draw& draw, std::size_t count, std::ptrdiff_t outMinusIn)
{
    const std::ptrdiff_t outAt = 48 + draw.Below(4);
    const float g = draw.Wide() * (sizeof(Sample) == 2 ? kInt16Scale : 1.0f);
    std::vector<float> values(count + 100);
    for (float& value : values)
        value = sizeof(Sample) == 2 ? static_cast<float>(draw.Any<std::int16_t>()) : draw.Wide();
    Aligned16<float> shared(values);
    std::vector<float> twin = shared.all;
    const auto source = [outMinusIn](float* out) {
        return reinterpret_cast<const Sample*>(reinterpret_cast<char*>(out) - outMinusIn * std::ptrdiff_t{sizeof(Sample)});
    };
    AddScaledReference(twin.data() + shared.skip + outAt, source(twin.data() + shared.skip + outAt), count, g);
    AddScaled(shared.At(outAt), source(shared.At(outAt)), count, g);
    ASSERT_TRUE(SameBits(shared.all, twin)) << "count " << count << ", out = in + " << outMinusIn << " samples";
}

TEST(AddScaled, MatchesReferenceOnDisjointMisalignedAndOverlappingBuffers)
{
    ExpectDisjointMatchesReference<float>(0x5eed0001);
    ExpectDisjointMatchesReference<std::int16_t>(0x5eed0002);
    Draw draw(0x5eed0003);
    // Every offset around the vector widths, at every odd length, then at random.
    for (std::ptrdiff_t outMinusIn = -20; outMinusIn <= 20; ++outMinusIn)
        for (std::size_t count : kOddLengths)
            ExpectOverlapMatchesReference<float>(draw, count, outMinusIn);
    for (int c = 0; c < kRandomCases; ++c) {
        ExpectOverlapMatchesReference<float>(draw, draw.Length(), static_cast<std::ptrdiff_t>(draw.Below(41)) - 20);
        ExpectOverlapMatchesReference<std::int16_t>(draw, draw.Length(), static_cast<std::ptrdiff_t>(draw.Below(81)) - 40);
    }
}

// A map with the given slots from slot 0 up, the rest unbound.
std::uint64_t Map(std::initializer_list<std::uint32_t> slots)
{
    std::uint64_t map = kEmptyChannelMap; // 0xFF in every slot
    std::uint32_t shift = 0;
    for (std::uint32_t slot : slots)
        map ^= std::uint64_t{(slot & 0xFF) ^ 0xFF} << std::exchange(shift, shift + 8);
    return map;
}

// -32768 gives exactly -1 and 32767 exactly 1 - 2^-15, in every kernel.
TEST(MixKernels, SixteenBitExtremesConvertExactlyAtUnityGain)
{
    const std::int16_t in[] = {-32768, 32767, -1, 1, 0};
    const std::vector<float> expected = {-1.0f, 0.999969482421875f, -kInt16Scale, kInt16Scale, 0.0f};
    std::vector<float> flat(5, 0.0f), layered(5, 0.0f), stereo(2, 0.0f), general(4, 0.0f);
    TrackGainState state;
    AddScaled(flat.data(), in, 5, kInt16Scale);
    LayeredMix(layered.data(), in, 1, 5, state);
    GatheredMix(stereo.data(), 2, in, 5, 1, Map({0, 1}), state);
    GatheredMix(general.data(), 4, in, 5, 1, Map({0, 1, 2, 3}), state);
    EXPECT_EQ(flat, expected);
    EXPECT_EQ(layered, expected);
    EXPECT_EQ(stereo, std::vector(expected.begin(), expected.begin() + 2));
    EXPECT_EQ(general, std::vector(expected.begin(), expected.begin() + 4));
}

// --- layered mix ------------------------------------------------------------

TEST(LayeredMix, HalfGainOnOneOfTwoFloatTracksOfOnesGivesOneAndAHalf)
{
    const std::vector<float> ones(2 * 300, 1.0f);
    std::vector<float> out(ones.size(), 0.0f);
    TrackGainState full, half{0.5f, 0.0f, 0.0f, 0, 0};
    LayeredMix(out.data(), ones.data(), 300, 2, full);
    LayeredMix(out.data(), ones.data(), 300, 2, half);
    EXPECT_EQ(out, std::vector<float>(ones.size(), 1.5f));
}

TEST(LayeredMix, RampOfFourFramesGivesQuarterStepsThenHoldsTheTarget)
{
    const std::vector<float> ones(2 * 8, 1.0f);
    std::vector<float> out(ones.size(), 0.0f);
    TrackGainState state = Ramp(0.0f, 1.0f, 4);
    LayeredMix(out.data(), ones.data(), 4, 2, state);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(SameBits(state, TrackGainState{0.75f, 0.0f, 1.0f, 4, 4})) << "the ramp ends on the fifth frame";
    LayeredMix(out.data() + 8, ones.data() + 8, 4, 2, state);
    EXPECT_EQ(std::vector<float>(out.begin() + 8, out.end()), std::vector<float>(8, 1.0f));
    EXPECT_TRUE(SameBits(state, Ramp(0.0f, 0.0f, 0, 1.0f))) << "gain 1, ramp fields cleared";
}

// One frame per call exposes each frame's gain; a ramp of length L moves
// monotonically from its start and gives its target from frame L on.
TEST(LayeredMix, RampsMoveMonotonicallyAndReachTheTargetOnFrameL)
{
    const std::pair<float, float> ramps[] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.2f, 0.9f}, {3.5f, -1.25f}};
    for (const auto& [from, to] : ramps) {
        for (std::uint32_t length : {1u, 2u, 3u, 7u, 480u, 4097u}) {
            TrackGainState state = Ramp(from, to, length, 42.0f);
            std::vector<float> gains(length + 3, 0.0f);
            const float one = 1.0f;
            for (float& gain : gains)
                LayeredMix(&gain, &one, 1, 1, state);
            EXPECT_EQ(gains.front(), from);
            for (std::uint32_t f = 1; f < length; ++f) {
                ASSERT_GE((gains[f] - gains[f - 1]) * (to - from), 0.0f) << "frame " << f << " of " << length;
                ASSERT_NE(gains[f], to) << "frame " << f << " of " << length << " is early";
            }
            for (std::uint32_t f = length; f < gains.size(); ++f)
                ASSERT_EQ(gains[f], to) << "frame " << f << " of " << length;
            EXPECT_TRUE(SameBits(state, Ramp(0.0f, 0.0f, 0, to)));
        }
    }
}

// Frame by frame, as the mixer describes it: the ramp step, then every
// channel with gain × scale; with or without a ramp, from any point of it,
// and cut into calls of any sizes (0 included), the bits and the state must
// come out the same.
template <typename Sample> void ExpectLayeredMatchesFrameByFrame(std::uint32_t seed, float scale)
{
    Draw draw(seed);
    for (int c = 0; c < 200; ++c) {
        const std::uint32_t channels = 1 + draw.Below(8);
        const std::uint32_t frames = draw.Below(2000);
        TrackGainState state = Ramp(draw.Wide(), draw.Wide(), draw.Below(2) * (1 + draw.Below(2 * frames + 1)), draw.Wide());
        state.rampPosition = draw.Below(state.rampLength + 1);
        TrackGainState modelState = state;
        const std::vector<Sample> source = draw.Fill<Sample>(std::size_t{frames} * channels);
        std::vector<float> out = draw.Fill<float>(source.size());
        std::vector<float> model = out;
        for (std::uint32_t f = 0; f < frames; ++f) {
            RampStep(modelState);
            for (std::uint32_t j = 0; j < channels; ++j)
                model[f * channels + j] += static_cast<float>(source[f * channels + j]) * (modelState.gain * scale);
        }
        for (std::uint32_t done = 0, block = 0; done < frames; done += block) {
            block = std::min(frames - done, draw.Below(2) == 0 ? frames : draw.Below(700));
            LayeredMix(out.data() + std::size_t{done} * channels, source.data() + std::size_t{done} * channels, block,
                       channels, state);
        }
        ASSERT_TRUE(SameBits(out, model)) << "case " << c << ": " << frames << " frames of " << channels;
        ASSERT_TRUE(SameBits(state, modelState)) << "case " << c;
    }
}

// --- gathered mix -----------------------------------------------------------

// Tracks take the source channels their slots name, in slot order, and sum
// with their gains; gain 0 silences one; a map's eight slots leave channels 8
// and 9 of a ten-channel track silent (a -0 stays -0: nothing was added).
TEST(GatheredMix, TracksTakeTheirSlotsAndSum)
{
    std::vector<float> source(3 * 10), out(3 * 10, -0.0f);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<float>(100 * (i / 10) + i % 10); // frame f, channel k: 100 f + k
    TrackGainState first, half{0.5f, 0.0f, 0.0f, 0, 0}, muted{0.0f, 0.0f, 0.0f, 0, 0};
    GatheredMix(out.data(), 10, source.data(), 10, 3, Map({9, 8, 7, 6, 5, 4, 3, 2}), first);
    GatheredMix(out.data(), 10, source.data(), 10, 3, Map({4, 0xFF, 5}), half);
    GatheredMix(out.data(), 10, source.data(), 10, 3, Map({3, 3, 3, 3, 3, 3, 3, 3}), muted);
    for (std::uint32_t f = 0; f < 3; ++f) {
        for (std::uint32_t i = 0; i < 8; ++i) {
            const float extra = i == 0 ? 100.0f * f + 4 : i == 2 ? 100.0f * f + 5 : 0.0f;
            EXPECT_EQ(out[10 * f + i], 100.0f * f + (9 - i) + extra * 0.5f) << "frame " << f << ", channel " << i;
        }
        EXPECT_TRUE(SameBits(out[10 * f + 8], -0.0f) && SameBits(out[10 * f + 9], -0.0f)) << "frame " << f;
    }
}

// An unbound slot, or one not below the source's channel count (0xFF even
// with 300 source channels), leaves its output channel untouched: a -0 stays
// -0, and neither a NaN nor an infinity elsewhere in the frame, nor an
// infinite gain, reaches it.
TEST(GatheredMix, UnboundOrOutOfRangeSlotsLeaveTheirChannelUntouched)
{
    // Two frames of 4 or of 300 channels, channel 0 holding 0.25 and 0.5, the others NaN.
    std::vector<float> source(600, std::numeric_limits<float>::quiet_NaN());
    source[0] = 0.25f;
    source[4] = source[300] = 0.5f;
    const std::pair<std::uint32_t, std::uint32_t> sourcesAndSlots[] = {{4, 0xFF}, {4, 4}, {4, 200}, {300, 0xFF}};
    for (std::uint32_t trackChannels : {1u, 2u, 3u}) {
        for (const auto& [sourceChannels, slot] : sourcesAndSlots) {
            SCOPED_TRACE(testing::Message() << trackChannels << " channels, slot " << slot << " of " << sourceChannels);
            std::vector<float> out(2 * trackChannels, -0.0f);
            TrackGainState state;
            GatheredMix(out.data(), trackChannels, source.data(), sourceChannels, 2, Map({0, slot, slot}), state);
            state.gain = std::numeric_limits<float>::infinity();
            GatheredMix(out.data(), trackChannels, source.data(), sourceChannels, 2, Map({0xFF, slot, slot}), state);
            EXPECT_EQ(out[0], 0.25f);
            EXPECT_EQ(out[trackChannels], 0.5f);
            for (std::uint32_t i = 1; i < trackChannels; ++i)
                EXPECT_TRUE(SameBits(out[i], -0.0f) && SameBits(out[trackChannels + i], -0.0f)) << "channel " << i;
        }
    }
}

// The stereo routine against the general case: a three-channel track whose
// third slot is unbound computes its first two channels exactly as the
// stereo routine must, ramps included.
template <typename Sample> void ExpectStereoAgreesWithGeneralCase(std::uint32_t seed)
{
    Draw draw(seed);
    for (int c = 0; c < kRandomCases; ++c) {
        const std::uint32_t sourceChannels = 1 + draw.Below(6);
        const std::uint32_t frames = draw.Below(400);
        // Slots 0-6 (some not below sourceChannels) or unbound; slot 2 unbound.
        const auto slot = [&draw] { const std::uint32_t s = draw.Below(8); return s < 7 ? s : 0xFFu; };
        const std::uint64_t map = Map({slot(), slot(), 0xFF});
        TrackGainState start = Ramp(draw.Wide(), draw.Wide(), draw.Below(2) * (1 + draw.Below(500)), draw.Wide());
        const std::vector<Sample> source = draw.Fill<Sample>(std::size_t{frames} * sourceChannels);
        std::vector<float> stereo = draw.Fill<float>(2 * std::size_t{frames});
        std::vector<float> general(3 * std::size_t{frames});
        for (std::size_t f = 0; f < frames; ++f)
            std::copy_n(stereo.begin() + 2 * f, 2, general.begin() + 3 * f);
        TrackGainState stereoState = start;
        GatheredMix(stereo.data(), 2, source.data(), sourceChannels, frames, map, stereoState);
        TrackGainState generalState = start;
        GatheredMix(general.data(), 3, source.data(), sourceChannels, frames, map, generalState);
        for (std::size_t f = 0; f < frames; ++f)
            ASSERT_TRUE(SameBits(stereo[2 * f], general[3 * f]) && SameBits(stereo[2 * f + 1], general[3 * f + 1]) &&
                        SameBits(general[3 * f + 2], 0.0f))
                << "case " << c << ", frame " << f;
        ASSERT_TRUE(SameBits(stereoState, generalState)) << "case " << c;
    }
}

TEST(MixKernels, LayeredMixMatchesTheFrameByFrameSumAndStereoGatherTheGeneralCase)
{
    ExpectLayeredMatchesFrameByFrame<float>(0x5eed0009, 1.0f);
    ExpectLayeredMatchesFrameByFrame<std::int16_t>(0x5eed000a, kInt16Scale);
    ExpectStereoAgreesWithGeneralCase<float>(0x5eed000b);
    ExpectStereoAgreesWithGeneralCase<std::int16_t>(0x5eed000c);
}

// Each frame takes its ramp step, the gain lands on the source channel the
// slot names, and a ramp cut into calls (one of no frames) equals one long call.
TEST(GatheredMix, RampStepsEveryFrameAndCarriesOverBetweenCalls)
{
    const std::vector<float> ones(6 * 9, 1.0f);
    for (std::uint32_t trackChannels : {2u, 5u}) {
        std::vector<float> out(std::size_t{trackChannels} * 9, 0.0f);
        TrackGainState state = Ramp(0.0f, 1.0f, 4);
        GatheredMix(out.data(), trackChannels, ones.data(), 6, 3, Map({5, 0xFF, 0}), state);
        GatheredMix(out.data() + 3 * trackChannels, trackChannels, ones.data(), 6, 0, Map({5}), state);
        GatheredMix(out.data() + 3 * trackChannels, trackChannels, ones.data(), 6, 6, Map({5, 0xFF, 0}), state);
        const float expected[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
        for (std::uint32_t f = 0; f < 9; ++f)
            EXPECT_EQ(std::pair(out[f * trackChannels], out[f * trackChannels + 1]), std::pair(expected[f], 0.0f))
                << trackChannels << " channels, frame " << f;
        EXPECT_TRUE(SameBits(state, Ramp(0.0f, 0.0f, 0, 1.0f)));
    }
}

// No frames, no channels or a source without channels add nothing (a -0
// stays -0), and the buffers that would hold nothing may be null; the ramp
// moves with the frames even when they hold nothing.
TEST(MixKernels, NothingToMixTouchesNothing)
{
    std::vector<float> out(4, -0.0f);
    const float one = 1.0f;
    TrackGainState state = Ramp(0.0f, 1.0f, 8);
    LayeredMix(out.data(), &one, 0, 2, state);
    EXPECT_TRUE(SameBits(state, Ramp(0.0f, 1.0f, 8)));
    LayeredMix(nullptr, static_cast<const float*>(nullptr), 3, 0, state);
    EXPECT_EQ(state.rampPosition, 3u);
    GatheredMix(out.data(), 2, static_cast<const float*>(nullptr), 0, 2, Map({0, 1}), state);
    GatheredMix(out.data(), 2, static_cast<const std::int16_t*>(nullptr), 2, 0, Map({0, 1}), state);
    GatheredMix(out.data(), 4, static_cast<const float*>(nullptr), 0, 1, Map({0, 1, 2, 3}), state);
    EXPECT_TRUE(SameBits(out, std::vector<float>(4, -0.0f)));
}

} // namespace
