// Shared pieces of the built-in decoder tests: a storage provider held by
// the plug-in, a scripted gain query and signal measurements.
#pragma once

#include "PluginStateGuard.h"

#include <decoders/BuiltinModules.h>
#include <decoders/Over8chSupportOpusDecoder.h>
#include <sound/QueryGainInterface.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

// Answers a fixed mode and gain and remembers what it was asked.
class ScriptedGainQuery final : public QueryGainInterface {
public:
    ScriptedGainQuery(std::int32_t answerMode, float answerDb) : mode(answerMode), db(answerDb) {}
    std::int32_t QueryGain(const char16_t* sourceName, float* gain) override
    {
        ++calls;
        lastSource = sourceName ? sourceName : u"";
        if (mode != kGainModeNoAnswer)
            *gain = db;
        return mode;
    }
    std::int32_t mode;
    float db;
    int calls = 0;
    std::u16string lastSource;
};

// The plug-in holds a memory storage provider that tests fill with files.
class BuiltinDecoderTest : public PluginStateTest {
protected:
    void SetUp() override
    {
        PluginStateTest::SetUp();
        provider = host::MemoryStorageProvider::Create();
        TheProcessState().KeepStorageProvider(provider);
    }
    void TearDown() override
    {
        PluginStateTest::TearDown();
        provider->Release();
    }

    IHSSWaveDecoder* Open(BuiltinDecoderKind kind, const std::u16string& name,
                          const std::vector<std::uint8_t>& bytes, host::StreamFaults faults = {})
    {
        provider->Add(name, bytes, faults);
        return OpenBuiltinDecoder(kind, name.c_str());
    }

    // Opens `bytes` as `name` with an Opus decoder that takes `path`, as the
    // Opus module would; null when the decoder cannot open them.
    IHSSWaveDecoder* OpenOpus(OpusDecodingPath path, const std::u16string& name, const std::vector<std::uint8_t>& bytes,
                              host::StreamFaults faults = {})
    {
        provider->Add(name, bytes, faults);
        IStream* stream = nullptr;
        if (FAILED(provider->OpenStreamForRead(name.c_str(), &stream)))
            return nullptr;
        auto* decoder = new Over8chSupportOpusDecoder(path);
        const bool opened = decoder->AttachStream(stream, name.c_str());
        stream->Release();
        if (opened)
            return decoder;
        decoder->Release();
        return nullptr;
    }

    host::MemoryStorageProvider* provider = nullptr;
};

// Pages of 100 ms, so that a file has several pages to lose or damage.
inline testaudio::OpusOptions ShortPages()
{
    testaudio::OpusOptions options;
    options.maxPageDuration = 4800;
    return options;
}

// An Opus file of DistinctTones, with the LFE channel's tone lowered so that
// it survives coding; `specOut` (may be null) receives the tones.
inline std::vector<std::uint8_t> TonesFile(std::uint32_t channels, std::uint64_t frames,
                                           testaudio::SignalSpec* specOut = nullptr,
                                           const testaudio::OpusOptions& options = ShortPages())
{
    testaudio::SignalSpec shape = testaudio::DistinctTones(channels, frames);
    for (std::uint32_t c = 0; c < channels; ++c)
        if (testaudio::IsOpusLfeChannel(c, channels, testaudio::OpusMappingFamily(channels, options.mappingFamily)))
            shape.channels[c].frequency = 60.0; // the LFE stream keeps only low frequencies
    if (specOut)
        *specOut = shape;
    return testaudio::EncodeOpus(testaudio::Synthesize(shape), channels, 48000, options);
}

// Quiet noise on every one of `channels` channels with loud one-sample clicks
// at known frames.
inline testaudio::SignalSpec ClickSpec(std::uint64_t frames, const std::vector<std::uint64_t>& clickFrames,
                                       std::uint32_t channels = 1)
{
    testaudio::SignalSpec shape;
    shape.frames = frames;
    for (std::uint32_t c = 0; c < channels; ++c)
        shape.channels.push_back({testaudio::Waveform::Noise, 0.0, 0.01f, 7 + c});
    for (std::uint64_t f : clickFrames)
        shape.clicks.push_back({f, 0.9f});
    return shape;
}

struct Decoded {
    std::vector<float> samples; // interleaved
    std::uint32_t lastStatus = 1;
};

// Renders the decoder to its end in blocks of `block` frames.
inline Decoded DecodeAll(IHSSWaveDecoder* decoder, std::uint32_t channels, std::uint32_t block = 4096)
{
    Decoded out;
    std::vector<float> buffer(static_cast<std::size_t>(block) * channels);
    for (;;) {
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        if (decoder->Render(buffer.data(), block, &rendered, &status) != S_OK)
            break;
        out.samples.insert(out.samples.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(rendered) * channels);
        out.lastStatus = status;
        if (status == 0)
            break;
    }
    return out;
}

// Power of `frequency` in one channel of an interleaved signal (Goertzel),
// normalised by the number of frames.
inline double TonePower(const std::vector<float>& samples, std::uint32_t channels, std::uint32_t channel,
                        double frequency, double sampleRate)
{
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    const std::size_t frames = samples.size() / channels;
    for (std::size_t f = 0; f < frames; ++f) {
        const double s0 = samples[f * channels + channel] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power / static_cast<double>(frames * frames);
}

inline double Rms(const std::vector<float>& samples)
{
    double sum = 0.0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// Index of the frame with the largest absolute sample of channel 0 within
// [from, to).
inline std::size_t PeakFrame(const std::vector<float>& samples, std::uint32_t channels, std::size_t from,
                             std::size_t to)
{
    std::size_t best = from;
    for (std::size_t f = from; f < to; ++f)
        if (std::fabs(samples[f * channels]) > std::fabs(samples[best * channels]))
            best = f;
    return best;
}

// Each channel's own tone (shape.channels[c].frequency) is at least 20 times
// stronger in it than the tone of any other channel: the channels arrive in
// order, none swapped or mixed.
inline void ExpectEachChannelCarriesItsOwnTone(const std::vector<float>& samples, const testaudio::SignalSpec& shape,
                                               double sampleRate)
{
    const auto channels = static_cast<std::uint32_t>(shape.channels.size());
    for (std::uint32_t c = 0; c < channels; ++c) {
        const double own = TonePower(samples, channels, c, shape.channels[c].frequency, sampleRate);
        for (std::uint32_t other = 0; other < channels; ++other) {
            if (other == c)
                continue;
            EXPECT_GT(own, 20 * TonePower(samples, channels, c, shape.channels[other].frequency, sampleRate))
                << "channel " << c << " carries the tone of channel " << other;
        }
    }
}
