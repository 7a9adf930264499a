// The mixing kernels: the vectorised multiply-add bit for bit against its
// scalar reference (random data, odd lengths, misaligned and overlapping
// buffers), and the per-track mixes against the sums and ramps they must
// produce.
#include <multitrack/MixKernels.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

namespace {

using MixKernels::AddScaled;
using MixKernels::AddScaledReference;
using MixKernels::GatheredMix;
using MixKernels::kInt16Scale;
using MixKernels::LayeredMix;

constexpr int kRandomCases = 1000;
constexpr std::size_t kOddLengths[] = {0,  1,  2,  3,  4,  5,    15,   16,  17,
                                       31, 33, 63, 64, 65, 1023, 1024, 1025};

// Wraps a generator with the draws the cases below need.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t Below(std::uint32_t bound)
    {
        return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(engine_);
    }

    // An odd length from the list half of the time, any length up to 1100
    // otherwise.
    std::size_t Length()
    {
        if (Below(2) == 0)
            return kOddLengths[Below(std::size(kOddLengths))];
        return Below(1101);
    }

    // A finite float with its exponent anywhere in 2^-30..2^30, now and then
    // a signed zero or a subnormal: products and sums round everywhere.
    float Wide()
    {
        const std::uint32_t kind = Below(100);
        const float sign = Below(2) == 0 ? 1.0f : -1.0f;
        if (kind == 0)
            return sign * 0.0f;
        const float mantissa = std::uniform_real_distribution<float>(1.0f, 2.0f)(engine_);
        if (kind == 1)
            return sign * std::ldexp(mantissa, -140);
        return sign * std::ldexp(mantissa, static_cast<int>(Below(61)) - 30);
    }

    std::int16_t Sample16()
    {
        return static_cast<std::int16_t>(static_cast<std::int32_t>(Below(65536)) - 32768);
    }

    template <typename Sample> Sample Any()
    {
        if constexpr (std::is_same_v<Sample, float>)
            return Wide();
        else
            return Sample16();
    }

    template <typename Sample> void Fill(Sample* at, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            at[i] = Any<Sample>();
    }

private:
    std::mt19937 engine_;
};

// Storage whose usable part starts on a 16-byte boundary, so that element
// offsets give every misalignment a type allows (floats 0, 4, 8, 12 bytes;
// 16-bit samples 0, 2, .., 14 bytes).
template <typename T> class Aligned16 {
public:
    explicit Aligned16(std::size_t count) : storage_(count + 16 / sizeof(T))
    {
        while (reinterpret_cast<std::uintptr_t>(storage_.data() + skip_) % 16 != 0)
            ++skip_;
    }
    T* At(std::size_t element) { return storage_.data() + skip_ + element; }
    std::vector<T>& All() { return storage_; }

private:
    std::vector<T> storage_;
    std::size_t skip_ = 0;
};

template <typename T> bool SameBits(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TrackGainState Ramp(float from, float to, std::uint32_t length, float gain = 0.0f)
{
    TrackGainState state;
    state.gain = gain;
    state.rampFrom = from;
    state.rampTo = to;
    state.rampLength = length;
    return state;
}

bool SameState(const TrackGainState& a, const TrackGainState& b)
{
    return SameBits(a.gain, b.gain) && SameBits(a.rampFrom, b.rampFrom) &&
           SameBits(a.rampTo, b.rampTo) && a.rampPosition == b.rampPosition &&
           a.rampLength == b.rampLength;
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
        Aligned16<float> out(count + 8);
        Aligned16<Sample> in(count + 8);
        draw.Fill(out.All().data(), out.All().size());
        draw.Fill(in.All().data(), in.All().size());
        std::vector<float> expected = out.All();
        AddScaledReference(expected.data() + (out.At(outShift) - out.All().data()), in.At(inShift),
                           count, g);
        AddScaled(out.At(outShift), in.At(inShift), count, g);
        ASSERT_TRUE(SameBits(out.All(), expected))
            << "case " << c << ": count " << count << ", out +" << outShift * 4 << " bytes, in +"
            << inShift * sizeof(Sample) << " bytes";
    }
}

TEST(AddScaled, FloatMatchesReferenceOnDisjointMisalignedBuffers)
{
    ExpectDisjointMatchesReference<float>(0x5eed0001);
}

TEST(AddScaled, Int16MatchesReferenceOnDisjointMisalignedBuffers)
{
    ExpectDisjointMatchesReference<std::int16_t>(0x5eed0002);
}

// Output and source in one buffer, `outMinusIn` floats apart; the reference
// runs on a twin buffer laid out the same way.
void ExpectOverlapMatchesReference(Draw& draw, std::size_t count, std::ptrdiff_t outMinusIn)
{
    constexpr std::ptrdiff_t kMargin = 40;
    const std::ptrdiff_t inAt = kMargin + draw.Below(4);
    const float g = draw.Wide();
    Aligned16<float> shared(count + 2 * kMargin + 4);
    draw.Fill(shared.All().data(), shared.All().size());
    Aligned16<float> twin(count + 2 * kMargin + 4);
    twin.All() = shared.All();
    AddScaledReference(twin.At(inAt + outMinusIn), twin.At(inAt), count, g);
    AddScaled(shared.At(inAt + outMinusIn), shared.At(inAt), count, g);
    ASSERT_TRUE(SameBits(shared.All(), twin.All()))
        << "count " << count << ", out = in " << (outMinusIn < 0 ? "- " : "+ ")
        << std::abs(outMinusIn);
}

TEST(AddScaled, FloatMatchesReferenceOnOverlappingBuffers)
{
    Draw draw(0x5eed0003);
    // Every offset around the vector widths, at every odd length.
    for (std::ptrdiff_t outMinusIn = -20; outMinusIn <= 20; ++outMinusIn) {
        for (std::size_t count : kOddLengths)
            ExpectOverlapMatchesReference(draw, count, outMinusIn);
    }
    for (int c = 0; c < kRandomCases; ++c)
        ExpectOverlapMatchesReference(draw, draw.Length(),
                                      static_cast<std::ptrdiff_t>(draw.Below(41)) - 20);
}

// A 16-bit source read from the very bytes the output writes (never done by
// the mixers, allowed by the interface): any shared byte forces the scalar
// order, whatever the distance.
TEST(AddScaled, Int16MatchesReferenceWhenItsBytesOverlapTheOutput)
{
    Draw draw(0x5eed0004);
    for (int c = 0; c < kRandomCases; ++c) {
        const std::size_t count = draw.Length();
        const std::ptrdiff_t outMinusInBytes =
            2 * (static_cast<std::ptrdiff_t>(draw.Below(81)) - 40);
        const std::ptrdiff_t outAt = 24 + draw.Below(4);
        const float g = draw.Wide() * kInt16Scale;
        Aligned16<float> shared(count + 56);
        for (float& value : shared.All())
            value = static_cast<float>(draw.Sample16());
        Aligned16<float> twin(count + 56);
        twin.All() = shared.All();
        const auto source = [&](Aligned16<float>& buffer) {
            return reinterpret_cast<const std::int16_t*>(
                reinterpret_cast<const char*>(buffer.At(outAt)) - outMinusInBytes);
        };
        AddScaledReference(twin.At(outAt), source(twin), count, g);
        AddScaled(shared.At(outAt), source(shared), count, g);
        ASSERT_TRUE(SameBits(shared.All(), twin.All()))
            << "case " << c << ": count " << count << ", out = in + " << outMinusInBytes
            << " bytes";
    }
}

TEST(AddScaled, SixteenBitExtremesConvertExactly)
{
    const std::int16_t in[] = {-32768, 32767, -1, 1, 0, -32768, 32767};
    std::vector<float> out(std::size(in), 0.0f);
    AddScaled(out.data(), in, std::size(in), kInt16Scale);
    EXPECT_EQ(out, (std::vector<float>{-1.0f, 0.999969482421875f, -kInt16Scale, kInt16Scale, 0.0f,
                                       -1.0f, 0.999969482421875f}));
}

// --- layered mix ------------------------------------------------------------

// Without a ramp the whole block is one flat multiply-add with gain × scale.
template <typename Sample>
void ExpectLayeredWithoutRampIsOneFlatAdd(std::uint32_t seed, float scale)
{
    Draw draw(seed);
    for (int c = 0; c < kRandomCases; ++c) {
        const std::uint32_t channels = 1 + draw.Below(8);
        const std::uint32_t frames = static_cast<std::uint32_t>(draw.Length()) / channels;
        const std::size_t samples = std::size_t{frames} * channels;
        TrackGainState state;
        state.gain = draw.Wide();
        const TrackGainState before = state;
        std::vector<Sample> source(samples);
        draw.Fill(source.data(), samples);
        std::vector<float> out(samples);
        draw.Fill(out.data(), samples);
        std::vector<float> expected = out;
        AddScaledReference(expected.data(), source.data(), samples, state.gain * scale);
        LayeredMix(out.data(), source.data(), frames, channels, state);
        ASSERT_TRUE(SameBits(out, expected))
            << "case " << c << ": " << frames << " frames of " << channels;
        EXPECT_TRUE(SameState(state, before));
    }
}

TEST(LayeredMix, WithoutRampEqualsOneFlatAddOfGainTimesScale)
{
    ExpectLayeredWithoutRampIsOneFlatAdd<float>(0x5eed0005, 1.0f);
    ExpectLayeredWithoutRampIsOneFlatAdd<std::int16_t>(0x5eed0006, kInt16Scale);
}

TEST(LayeredMix, HalfGainOnOneOfTwoFloatTracksOfOnesGivesOneAndAHalf)
{
    const std::vector<float> ones(2 * 300, 1.0f);
    std::vector<float> out(ones.size(), 0.0f);
    TrackGainState full;
    TrackGainState half;
    half.gain = 0.5f;
    LayeredMix(out.data(), ones.data(), 300, 2, full);
    LayeredMix(out.data(), ones.data(), 300, 2, half);
    EXPECT_EQ(out, std::vector<float>(ones.size(), 1.5f));
}

TEST(LayeredMix, SixteenBitExtremesAtUnityGain)
{
    const std::int16_t source[] = {-32768, 32767};
    std::vector<float> out(2, 0.0f);
    TrackGainState state;
    LayeredMix(out.data(), source, 1, 2, state);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 0.999969482421875f);
}

TEST(LayeredMix, RampOfFourFramesGivesQuarterStepsThenHoldsTheTarget)
{
    const std::vector<float> ones(2 * 8, 1.0f);
    std::vector<float> out(ones.size(), 0.0f);
    TrackGainState state = Ramp(0.0f, 1.0f, 4);

    LayeredMix(out.data(), ones.data(), 4, 2, state);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 0, 0, 0, 0, 0,
                                       0, 0, 0}));
    EXPECT_EQ(state.rampLength, 4u) << "the ramp ends on the fifth frame, not after the fourth";
    EXPECT_EQ(state.rampPosition, 4u);

    LayeredMix(out.data() + 8, ones.data() + 8, 4, 2, state);
    EXPECT_EQ(std::vector<float>(out.begin() + 8, out.end()), std::vector<float>(8, 1.0f));
    EXPECT_TRUE(SameState(state, Ramp(0.0f, 0.0f, 0, 1.0f))) << "gain 1, ramp fields cleared";
}

// One frame per call exposes each frame's gain; a ramp of length L moves
// monotonically from its start and gives its target from frame L on.
TEST(LayeredMix, RampsMoveMonotonicallyAndReachTheTargetOnFrameL)
{
    const float ramps[][2] = {
        {0.0f, 1.0f}, {1.0f, 0.0f}, {0.2f, 0.9f}, {3.5f, -1.25f}, {0.7f, 0.7f}};
    for (const auto& ramp : ramps) {
        for (std::uint32_t length : {1u, 2u, 3u, 7u, 480u, 4097u}) {
            TrackGainState state = Ramp(ramp[0], ramp[1], length, 42.0f);
            const float one = 1.0f;
            std::vector<float> gains;
            for (std::uint32_t f = 0; f <= length + 2; ++f) {
                float out = 0.0f;
                LayeredMix(&out, &one, 1, 1, state);
                gains.push_back(out);
            }
            const float direction = ramp[1] - ramp[0];
            EXPECT_EQ(gains.front(), ramp[0]);
            for (std::uint32_t f = 1; f < length; ++f) {
                ASSERT_GE((gains[f] - gains[f - 1]) * direction, 0.0f)
                    << "frame " << f << " of " << length;
                ASSERT_NE(gains[f], ramp[1]) << "frame " << f << " of " << length << " is early";
            }
            for (std::uint32_t f = length; f < gains.size(); ++f)
                ASSERT_EQ(gains[f], ramp[1]) << "frame " << f << " of " << length;
            EXPECT_TRUE(SameState(state, Ramp(0.0f, 0.0f, 0, ramp[1])));
            if (direction == 0.0f)
                break;
        }
    }
}

// A ramp cut into calls of any sizes (including 0) gives the same bits and
// the same state as one call over all frames.
template <typename Sample> void ExpectRampCarriesOverBetweenCalls(std::uint32_t seed)
{
    Draw draw(seed);
    for (int c = 0; c < 200; ++c) {
        const std::uint32_t channels = 1 + draw.Below(6);
        const std::uint32_t frames = 1 + draw.Below(3000);
        const TrackGainState start =
            Ramp(draw.Wide(), draw.Wide(), 1 + draw.Below(2 * frames), draw.Wide());
        std::vector<Sample> source(std::size_t{frames} * channels);
        draw.Fill(source.data(), source.size());
        std::vector<float> whole(source.size());
        draw.Fill(whole.data(), whole.size());
        std::vector<float> pieces = whole;

        TrackGainState once = start;
        LayeredMix(whole.data(), source.data(), frames, channels, once);
        TrackGainState carried = start;
        for (std::uint32_t done = 0; done < frames;) {
            const std::uint32_t block = std::min(frames - done, draw.Below(700));
            const std::size_t at = std::size_t{done} * channels;
            LayeredMix(pieces.data() + at, source.data() + at, block, channels, carried);
            done += block;
        }
        ASSERT_TRUE(SameBits(pieces, whole)) << "case " << c;
        ASSERT_TRUE(SameState(carried, once)) << "case " << c;
    }
}

TEST(LayeredMix, RampLongerThanABlockCarriesOverExactlyAsOneLongCall)
{
    ExpectRampCarriesOverBetweenCalls<float>(0x5eed0007);
    ExpectRampCarriesOverBetweenCalls<std::int16_t>(0x5eed0008);
}

// Frame by frame, as the mixer describes it: the ramp step, then every
// channel with gain × scale. The kernel hands the frames after the ramp's end
// to the flat multiply-add; the bits must not notice.
template <typename Sample> void ExpectRampedMixMatchesFrameByFrame(std::uint32_t seed, float scale)
{
    Draw draw(seed);
    for (int c = 0; c < 200; ++c) {
        const std::uint32_t channels = 1 + draw.Below(8);
        const std::uint32_t frames = draw.Below(600);
        TrackGainState state = Ramp(draw.Wide(), draw.Wide(), 1 + draw.Below(800), draw.Wide());
        state.rampPosition = draw.Below(state.rampLength + 1);
        TrackGainState modelState = state;
        std::vector<Sample> source(std::size_t{frames} * channels);
        draw.Fill(source.data(), source.size());
        std::vector<float> out(source.size());
        draw.Fill(out.data(), out.size());
        std::vector<float> model = out;
        for (std::uint32_t f = 0; f < frames; ++f) {
            RampStep(modelState);
            const float g = modelState.gain * scale;
            for (std::uint32_t j = 0; j < channels; ++j)
                model[f * channels + j] += static_cast<float>(source[f * channels + j]) * g;
        }
        LayeredMix(out.data(), source.data(), frames, channels, state);
        ASSERT_TRUE(SameBits(out, model)) << "case " << c;
        ASSERT_TRUE(SameState(state, modelState)) << "case " << c;
    }
}

TEST(LayeredMix, RampedMixMatchesTheFrameByFrameSum)
{
    ExpectRampedMixMatchesFrameByFrame<float>(0x5eed0009, 1.0f);
    ExpectRampedMixMatchesFrameByFrame<std::int16_t>(0x5eed000a, kInt16Scale);
}

TEST(LayeredMix, NoFramesOrNoChannelsTouchNothing)
{
    float out = -0.0f;
    const float source = 1.0f;
    TrackGainState state = Ramp(0.0f, 1.0f, 4);
    LayeredMix(&out, &source, 0, 2, state);
    EXPECT_TRUE(SameBits(out, -0.0f));
    EXPECT_TRUE(SameState(state, Ramp(0.0f, 1.0f, 4)));
    LayeredMix(nullptr, static_cast<const float*>(nullptr), 3, 0, state);
    EXPECT_EQ(state.rampPosition, 3u)
        << "the ramp moves with the frames even when they hold nothing";
}

// --- gathered mix -----------------------------------------------------------

// A map with the given slots from slot 0 up, the rest unbound.
std::uint64_t Map(std::initializer_list<std::uint32_t> slots)
{
    std::uint64_t map = MixKernels::kEmptyChannelMap;
    std::uint32_t i = 0;
    for (std::uint32_t slot : slots) {
        map &= ~(std::uint64_t{0xFF} << (8 * i));
        map |= std::uint64_t{slot & 0xFF} << (8 * i);
        ++i;
    }
    return map;
}

// Frame f, channel k holds 100 f + k.
std::vector<float> Numbered(std::uint32_t frames, std::uint32_t channels)
{
    std::vector<float> source(std::size_t{frames} * channels);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<float>(100 * (i / channels) + i % channels);
    return source;
}

TEST(GatheredMix, StereoTrackTakesSourceChannelsThreeAndOneOfFour)
{
    const std::vector<float> source = Numbered(5, 4);
    std::vector<float> out(10, 0.0f);
    TrackGainState state;
    GatheredMix(out.data(), 2, source.data(), 4, 5, Map({3, 1}), state);
    for (std::uint32_t f = 0; f < 5; ++f) {
        EXPECT_EQ(out[2 * f], 100.0f * f + 3) << "frame " << f;
        EXPECT_EQ(out[2 * f + 1], 100.0f * f + 1) << "frame " << f;
    }
}

// An unbound or out-of-range slot leaves its output channel untouched: a
// -0 stays -0 (adding 0 × g would make it +0), and neither a NaN nor an
// infinity anywhere else in the frame, nor an infinite gain, reaches it.
TEST(GatheredMix, UnboundOrOutOfRangeSlotsLeaveTheirChannelUntouched)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> source = {0.25f, nan, inf, -inf, 0.5f, nan, inf, -inf};
    for (std::uint32_t trackChannels : {2u, 3u}) {
        for (std::uint32_t rightSlot : {0xFFu, 4u, 200u, 254u}) {
            std::vector<float> out(2 * trackChannels, -0.0f);
            TrackGainState state;
            GatheredMix(out.data(), trackChannels, source.data(), 4, 2, Map({0, rightSlot}), state);
            EXPECT_EQ(out[0], 0.25f);
            EXPECT_EQ(out[trackChannels], 0.5f);
            for (std::uint32_t f = 0; f < 2; ++f) {
                for (std::uint32_t i = 1; i < trackChannels; ++i)
                    EXPECT_TRUE(SameBits(out[f * trackChannels + i], -0.0f))
                        << trackChannels << " channels, slot " << rightSlot << ", frame " << f
                        << ", channel " << i;
            }
            state.gain = inf;
            GatheredMix(out.data(), trackChannels, source.data(), 4, 2, Map({0xFF, rightSlot}),
                        state);
            EXPECT_TRUE(SameBits(out[1], -0.0f))
                << "an infinite gain on unbound channels adds nothing";
            EXPECT_EQ(out[0], 0.25f);
        }
    }
}

// A slot of 0xFF is unbound even where 255 would be a channel of the source.
TEST(GatheredMix, SlotFFIsUnboundEvenWithThreeHundredSourceChannels)
{
    std::vector<float> source(300, 1.0f);
    for (std::uint32_t trackChannels : {2u, 1u}) {
        std::vector<float> out(trackChannels, -0.0f);
        TrackGainState state;
        GatheredMix(out.data(), trackChannels, source.data(), 300, 1, Map({0xFF, 0xFF}), state);
        EXPECT_TRUE(SameBits(out[0], -0.0f)) << trackChannels << " channels";
    }
}

// A map has eight slots: channels 8 and 9 of a ten-channel track stay
// silent, the first eight take their slots.
TEST(GatheredMix, TenChannelTrackLeavesChannelsPastTheEighthSilent)
{
    const std::vector<float> source = Numbered(3, 10);
    std::vector<float> out(30, -0.0f);
    TrackGainState state;
    GatheredMix(out.data(), 10, source.data(), 10, 3, Map({9, 8, 7, 6, 5, 4, 3, 2}), state);
    for (std::uint32_t f = 0; f < 3; ++f) {
        for (std::uint32_t i = 0; i < 8; ++i)
            EXPECT_EQ(out[10 * f + i], 100.0f * f + (9 - i)) << "frame " << f << ", channel " << i;
        EXPECT_TRUE(SameBits(out[10 * f + 8], -0.0f)) << "frame " << f;
        EXPECT_TRUE(SameBits(out[10 * f + 9], -0.0f)) << "frame " << f;
    }
}

TEST(GatheredMix, SixteenBitExtremesAtUnityGain)
{
    const std::int16_t source[] = {7, 32767, -32768};
    for (std::uint32_t trackChannels : {2u, 4u}) {
        std::vector<float> out(trackChannels, 0.0f);
        TrackGainState state;
        GatheredMix(out.data(), trackChannels, source, 3, 1, Map({2, 1}), state);
        EXPECT_EQ(out[0], -1.0f) << trackChannels << " channels";
        EXPECT_EQ(out[1], 0.999969482421875f) << trackChannels << " channels";
    }
}

// Three tracks of one source sum their selections; a gain of 0 silences one.
TEST(GatheredMix, TracksSumTheirSelectionsAndGainZeroSilencesOne)
{
    const std::vector<float> source = Numbered(4, 6);
    std::vector<float> out(4 * 3, 0.0f);
    TrackGainState first;
    TrackGainState second;
    second.gain = 0.5f;
    TrackGainState muted;
    muted.gain = 0.0f;
    GatheredMix(out.data(), 3, source.data(), 6, 4, Map({0, 1, 2}), first);
    GatheredMix(out.data(), 3, source.data(), 6, 4, Map({4, 0xFF, 5}), second);
    GatheredMix(out.data(), 3, source.data(), 6, 4, Map({3, 3, 3}), muted);
    for (std::uint32_t f = 0; f < 4; ++f) {
        const float base = 100.0f * f;
        EXPECT_EQ(out[3 * f + 0], base + 0 + (base + 4) * 0.5f) << "frame " << f;
        EXPECT_EQ(out[3 * f + 1], base + 1) << "frame " << f;
        EXPECT_EQ(out[3 * f + 2], base + 2 + (base + 5) * 0.5f) << "frame " << f;
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
        const std::uint32_t left = draw.Below(8);
        const std::uint32_t right = draw.Below(8);
        const std::uint64_t map = Map({left < 7 ? left : 0xFF, right < 7 ? right : 0xFF, 0xFF});
        TrackGainState start;
        start.gain = draw.Wide();
        if (draw.Below(2) == 0)
            start = Ramp(draw.Wide(), draw.Wide(), 1 + draw.Below(500), draw.Wide());
        std::vector<Sample> source(std::size_t{frames} * sourceChannels);
        draw.Fill(source.data(), source.size());
        std::vector<float> stereo(2 * std::size_t{frames});
        draw.Fill(stereo.data(), stereo.size());
        std::vector<float> general(3 * std::size_t{frames});
        for (std::size_t f = 0; f < frames; ++f) {
            general[3 * f] = stereo[2 * f];
            general[3 * f + 1] = stereo[2 * f + 1];
        }

        TrackGainState stereoState = start;
        GatheredMix(stereo.data(), 2, source.data(), sourceChannels, frames, map, stereoState);
        TrackGainState generalState = start;
        GatheredMix(general.data(), 3, source.data(), sourceChannels, frames, map, generalState);
        for (std::size_t f = 0; f < frames; ++f) {
            ASSERT_TRUE(SameBits(stereo[2 * f], general[3 * f])) << "case " << c << ", frame " << f;
            ASSERT_TRUE(SameBits(stereo[2 * f + 1], general[3 * f + 1]))
                << "case " << c << ", frame " << f;
            ASSERT_TRUE(SameBits(general[3 * f + 2], 0.0f)) << "case " << c << ", frame " << f;
        }
        ASSERT_TRUE(SameState(stereoState, generalState)) << "case " << c;
    }
}

TEST(GatheredMix, StereoRoutineAgreesWithTheGeneralCase)
{
    ExpectStereoAgreesWithGeneralCase<float>(0x5eed000b);
    ExpectStereoAgreesWithGeneralCase<std::int16_t>(0x5eed000c);
}

// The gathered ramp: each frame takes its step, the gain lands on the source
// channel the slot names, and a ramp cut into calls equals one long call.
TEST(GatheredMix, RampStepsEveryFrameAndCarriesOverBetweenCalls)
{
    const std::vector<float> ones(6 * 9, 1.0f);
    for (std::uint32_t trackChannels : {2u, 5u}) {
        std::vector<float> out(std::size_t{trackChannels} * 9, 0.0f);
        TrackGainState state = Ramp(0.0f, 1.0f, 4);
        GatheredMix(out.data(), trackChannels, ones.data(), 6, 3, Map({5, 0xFF, 0}), state);
        GatheredMix(out.data() + 3 * trackChannels, trackChannels, ones.data(), 6, 0, Map({5}),
                    state);
        GatheredMix(out.data() + 3 * trackChannels, trackChannels, ones.data(), 6, 6,
                    Map({5, 0xFF, 0}), state);
        const float expected[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
        for (std::uint32_t f = 0; f < 9; ++f) {
            EXPECT_EQ(out[f * trackChannels], expected[f])
                << trackChannels << " channels, frame " << f;
            EXPECT_EQ(out[f * trackChannels + 1], 0.0f)
                << trackChannels << " channels, frame " << f;
        }
        EXPECT_TRUE(SameState(state, Ramp(0.0f, 0.0f, 0, 1.0f)));
    }
}

TEST(GatheredMix, SourceWithoutChannelsOrFramesAddsNothing)
{
    std::vector<float> out(4, -0.0f);
    TrackGainState state;
    GatheredMix(out.data(), 2, static_cast<const float*>(nullptr), 0, 2, Map({0, 1}), state);
    GatheredMix(out.data(), 2, static_cast<const std::int16_t*>(nullptr), 2, 0, Map({0, 1}), state);
    GatheredMix(out.data(), 4, static_cast<const float*>(nullptr), 0, 1, Map({0, 1, 2, 3}), state);
    EXPECT_TRUE(SameBits(out, std::vector<float>(4, -0.0f)));
}

} // namespace
