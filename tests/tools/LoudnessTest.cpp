// The loudness meters against signals of known loudness, synthesised here
// (the sine cases of EBU Tech 3341, one of Tech 3342, a peak between
// samples), fed in blocks of 4096 frames as the render loop feeds them.
#include "LoudnessMeter.h"
#include "MomentaryLoudness.h"
#include "SpanLoudness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace mtrk {
namespace {

constexpr std::uint32_t kRate = 48000;

struct Segment { double dbfs, seconds; }; // a sine's peak level and its length

struct Tone {
    std::uint16_t channels = 2;
    int only = -1; // the one channel that sounds; -1: all of them
    double hertz = 1000.0;
    double phase = 0.0;
};

std::vector<float> Sine(const std::vector<Segment>& segments, const Tone& tone = {})
{
    std::vector<float> samples;
    std::uint64_t frame = 0;
    for (const Segment& segment : segments) {
        const double amplitude = std::pow(10.0, segment.dbfs / 20.0);
        for (const auto end = frame + std::llround(segment.seconds * kRate); frame < end; ++frame) {
            const double value = amplitude * std::sin(2.0 * std::numbers::pi * tone.hertz * frame / kRate + tone.phase);
            for (int c = 0; c < tone.channels; ++c)
                samples.push_back(tone.only < 0 || c == tone.only ? static_cast<float>(value) : 0.0f);
        }
    }
    return samples;
}

template <typename Sample>
void Feed(BlockObserver& observer, const std::vector<Sample>& samples, std::uint16_t channels = 2)
{
    std::string error;
    for (std::size_t frame = 0; frame < samples.size() / channels; frame += 4096) {
        const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(4096, samples.size() / channels - frame));
        ASSERT_TRUE(observer.OnBlock(samples.data() + frame * channels, frames, error)) << error;
    }
}

// -inf compares as -999 dB; an expected NaN is not checked.
void ExpectLevel(double measured, double expected, double tolerance)
{
    if (!std::isnan(expected)) {
        EXPECT_NEAR(std::max(measured, -999.0), std::max(expected, -999.0), tolerance);
    }
}

TEST(Loudness, ReadsSignalsOfKnownLoudnessRangeAndTruePeak)
{
    constexpr double kUnchecked = NAN;
    const struct {
        const char* name;
        std::vector<Segment> segments;
        double lufs, lra = kUnchecked, dbtp = kUnchecked;
        Tone tone = {};
        bool pcm16 = false;
    } rows[] = {
        {"3341 case 1", {{-23, 20}}, -23.0},
        {"3341 case 1, 16-bit samples", {{-23, 20}}, -23.0, kUnchecked, kUnchecked, {}, true},
        {"3341 case 2", {{-33, 20}}, -33.0},
        {"3341 case 3", {{-36, 10}, {-23, 60}, {-36, 10}}, -23.0},
        {"3341 case 4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.0},
        {"3341 case 5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, -23.0},
        {"3342 case 1", {{-20, 20}, {-30, 20}}, kUnchecked, 10.0},
        // Its samples lie 45 degrees off the crests: they peak at -9.0 dBFS.
        {"a quarter of the rate, 45 degrees", {{-6, 2}}, kUnchecked, kUnchecked, -6.0,
         {2, -1, kRate / 4.0, std::numbers::pi / 4}},
        {"silence", {{-INFINITY, 2}}, -INFINITY, 0.0, -INFINITY},
        // One channel of 5.1 or 7.1 (WAVE order) sounding: -26.0 LUFS in front, nothing
        // in the LFE, 1.5 dB more at the sides; a channel past 7.1 counts as a front one.
        {"5.1 L", {{-23, 3}}, -26.0, kUnchecked, kUnchecked, {6, 0}},
        {"5.1 LFE", {{-23, 3}}, -INFINITY, kUnchecked, kUnchecked, {6, 3}},
        {"5.1 Rs", {{-23, 3}}, -24.5, kUnchecked, kUnchecked, {6, 5}},
        {"7.1 Lb", {{-23, 3}}, -26.0, kUnchecked, kUnchecked, {8, 4}},
        {"10 channels, the last", {{-23, 3}}, -26.0, kUnchecked, kUnchecked, {10, 9}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoudnessMeter meter({kRate, row.tone.channels, !row.pcm16, 0}, kLoudnessSummary);
        const std::vector<float> sine = Sine(row.segments, row.tone);
        std::vector<std::int16_t> pcm16;
        for (float value : sine)
            pcm16.push_back(static_cast<std::int16_t>(std::lround(value * 32767.0f)));
        row.pcm16 ? Feed(meter, pcm16) : Feed(meter, sine, row.tone.channels);
        ExpectLevel(meter.Integrated(), row.lufs, 0.1);
        ExpectLevel(meter.Range(), row.lra, 1.0);
        ExpectLevel(20 * std::log10(meter.TruePeak()), row.dbtp, 0.3);
    }
}

// Beyond the library's 64 channels the render goes on unmeasured.
TEST(Loudness, AFormatTheLibraryRefusesLetsBlocksPassAndReadsNotAvailable)
{
    LoudnessMeter meter({kRate, 65, true, 0}, kLoudnessSummary);
    const std::vector<float> block(65 * 100, 0.5f);
    std::string error;
    EXPECT_TRUE(meter.OnBlock(block.data(), 100, error));
    EXPECT_EQ(FormatLevel(meter.Integrated()) + FormatLevel(meter.Range()) + FormatLevel(meter.TruePeak()), "n/an/an/a");
}

// Spans cut at 5 s and 9 s (blocks straddle both cuts), each a sine at
// its own level.
TEST(Loudness, EachSpanReadsItsOwnLevel)
{
    SpanLoudness spans({kRate, 2, true, 0}, {9 * kRate, 5 * kRate, 5 * kRate});
    Feed(spans, Sine({{-30, 5}, {-20, 4}, {-26, 3}}));
    ASSERT_EQ(spans.Count(), 3u);
    const double levels[] = {-30.0, -20.0, -26.0};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(spans.Integrated(i), levels[i], 0.1) << i;
}

// Reading i covers the 400 ms up to (i + 1) * 100 ms; the sine steps up at 1 s.
TEST(Loudness, MomentaryCurveReadsEvery100Milliseconds)
{
    MomentaryLoudness momentary({kRate, 2, true, 0}, 0);
    Feed(momentary, Sine({{-60, 1}, {-23, 1.05}}));
    const std::vector<double>& curve = momentary.Curve();
    ASSERT_EQ(curve.size(), 20u);
    EXPECT_NEAR(curve[12], -23.0 + 10 * std::log10(0.75), 0.1); // three quarters of the window at -23
    EXPECT_NEAR(curve[19], -23.0, 0.1);
}

} // namespace
} // namespace mtrk
