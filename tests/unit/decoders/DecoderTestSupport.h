// Shared pieces of the built-in decoder tests: a storage provider held by
// the plug-in, a scripted gain query, test files and signal measurements.
#pragma once

#include "PluginStateGuard.h"
#include "host/HostTestSupport.h"

#include <decoders/BuiltinModules.h>
#include <decoders/Over8chSupportOpusDecoder.h>
#include <sound/QueryGainInterface.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using Bytes = std::vector<std::uint8_t>;
using Decoder = hosttest::Owned<IHSSWaveDecoder>;

// Answers a fixed mode and gain, even with kGainModeNoAnswer.
struct ScriptedGainQuery final : QueryGainInterface {
    ScriptedGainQuery(std::int32_t answerMode, float answerDb) : mode(answerMode), db(answerDb) {}
    std::int32_t QueryGain(const char16_t*, float* gain) override { return *gain = db, mode; }
    const std::int32_t mode;
    const float db;
};

// The plug-in holds a memory storage provider that tests fill with files.
class BuiltinDecoderTest : public PluginStateTest {
protected:
    void SetUp() override
    {
        PluginStateTest::SetUp();
        TheProcessState().KeepStorageProvider(provider.get());
    }

    // Opens `bytes` with an Opus decoder that takes `path`, as the Opus
    // module would; null when the decoder cannot open them.
    Decoder OpenOpus(OpusDecodingPath path, const std::u16string& name, const Bytes& bytes, host::StreamFaults faults = {})
    {
        provider->Add(name, bytes, faults);
        IStream* stream = nullptr;
        EXPECT_EQ(provider->OpenStreamForRead(name.c_str(), &stream), S_OK);
        auto* decoder = new Over8chSupportOpusDecoder(path);
        const bool opened = decoder->AttachStream(stream, name.c_str());
        stream->Release();
        return Decoder(opened ? decoder : (decoder->Release(), nullptr));
    }

    hosttest::Owned<host::MemoryStorageProvider> provider{host::MemoryStorageProvider::Create()};
};

// DistinctTones with the tone of an LFE channel (either codec's) lowered so
// that it survives coding.
inline testaudio::SignalSpec TonesShape(std::uint32_t channels, std::uint64_t frames, std::uint32_t rate = 48000,
                                        int opusFamily = -1)
{
    testaudio::SignalSpec shape = testaudio::DistinctTones(channels, frames, rate);
    for (std::uint32_t c = 0; c < channels; ++c)
        if (testaudio::IsVorbisLfeChannel(c, channels, rate) ||
            testaudio::IsOpusLfeChannel(c, channels, testaudio::OpusMappingFamily(channels, opusFamily)))
            shape.channels[c].frequency = 60.0;
    return shape;
}

// An Opus file of TonesShape in pages of 100 ms, so that it has several
// pages to lose or damage.
inline Bytes TonesFile(std::uint32_t channels, std::uint64_t frames, testaudio::OpusOptions options = {})
{
    options.maxPageDuration = 4800;
    return testaudio::EncodeOpus(testaudio::Synthesize(TonesShape(channels, frames, 48000, options.mappingFamily)),
                                 channels, 48000, options);
}

// Noise (quiet unless told otherwise) on each channel with loud one-sample
// clicks at known frames.
inline testaudio::SignalSpec ClickShape(std::uint64_t frames, const std::vector<std::uint64_t>& clickFrames,
                                       std::uint32_t channels, std::uint32_t rate = 48000, float noise = 0.01f)
{
    testaudio::SignalSpec shape{rate, frames, {}, {}};
    for (std::uint32_t c = 0; c < channels; ++c)
        shape.channels.push_back({testaudio::Waveform::Noise, 0.0, noise, 7 + c});
    for (std::uint64_t f : clickFrames)
        shape.clicks.push_back({f, 0.9f});
    return shape;
}

// Renders to the end in blocks of `block` frames into a buffer followed by
// canaries, checking after each call that nothing was written past the
// block and that the status is 1 exactly when the block was filled.
inline std::vector<float> DecodeAll(IHSSWaveDecoder* decoder, std::uint32_t channels, std::uint32_t block = 1000)
{
    std::vector<float> out, buffer(std::size_t{block + 8} * channels, 12345.0f);
    for (std::uint32_t rendered = 1, status = 1; status != 0 && rendered != 0;) {
        EXPECT_EQ(decoder->Render(buffer.data(), block, &rendered, &status), S_OK);
        EXPECT_EQ(status, rendered == block ? 1u : 0u);
        EXPECT_EQ(std::count(buffer.begin() + block * channels, buffer.end(), 12345.0f), 8 * channels) << "written past the block";
        out.insert(out.end(), buffer.begin(), buffer.begin() + std::min(rendered, block) * channels);
    }
    return out;
}

// Each channel carries its own tone at about its level, and the tone of
// any other channel (only the neighbours' beyond 16 channels) at most a
// twentieth as strongly: the channels arrive in order, none swapped or mixed.
inline void ExpectEachChannelCarriesItsOwnTone(const std::vector<float>& samples, const testaudio::SignalSpec& shape)
{
    const auto channels = static_cast<std::uint32_t>(shape.channels.size());
    // The power of the tone of channel `of` in channel `c` (Goertzel), normalised by the frame count.
    const auto power = [&](std::uint32_t c, std::uint32_t of) {
        const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * shape.channels[of].frequency / shape.sampleRate);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t f = c; f < samples.size(); f += channels)
            s2 = std::exchange(s1, samples[f] + coefficient * s1 - s2);
        return (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / std::pow(static_cast<double>(samples.size() / channels), 2);
    };
    for (std::uint32_t c = 0; c < channels; ++c) {
        EXPECT_GT(power(c, c), 0.01) << "channel " << c << " lacks its tone"; // a full tone of 0.25 gives 0.0156
        for (std::uint32_t other = 0; other < channels; ++other)
            EXPECT_TRUE(other == c || (channels > 16 && other + 1 != c && other != c + 1) || power(c, c) > 20 * power(c, other))
                << "channel " << c << " carries the tone of channel " << other;
    }
}

// The frame with the largest absolute sample of channel 0 within [from, to).
inline std::size_t PeakFrame(const std::vector<float>& samples, std::uint32_t channels, std::size_t from, std::size_t to)
{
    std::size_t best = from;
    for (std::size_t f = from; f < to; ++f)
        best = std::fabs(samples[f * channels]) > std::fabs(samples[best * channels]) ? f : best;
    return best;
}

inline HSSWaveFormat FormatOf(IHSSWaveDecoder* decoder)
{
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    return format;
}

// The largest difference between a[i] and b[i] × factor.
inline double MaxDifference(const float* a, const float* b, std::size_t count, double factor = 1.0)
{
    double worst = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        worst = std::max(worst, std::fabs(a[i] - b[i] * factor));
    return worst;
}
