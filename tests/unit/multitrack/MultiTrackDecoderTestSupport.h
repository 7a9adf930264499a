// Multi-track decoders over a FakeMixer, a mixer of in-memory DC tracks,
// and a callback that records what the decoders report.
#pragma once

#include <multitrack/kernels/MixKernels.h>
#include <multitrack/decoder/MultiTrackCallbackIntf.h>
#include <multitrack/decoder/MultiTrackDecoderBaseImpl.h>

#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Track t is a constant `levels[t]` on every channel for `length` frames
// (0: endless), mixed with the real kernels, so gains and ramps behave as
// in the real mixers. Render throws while `throwOnRender` is set.
class FakeMixer final : public RenderMixerInterface {
public:
    FakeMixer(TrackListInfo i, std::vector<float> l, std::uint64_t n) : info(std::move(i)), levels(std::move(l)), length(n) {}
    bool Load(const TrackListDescription&, TrackListInfo& out) override { out = info; return loadSucceeds; }
    std::uint32_t Render(float* output, std::uint32_t frames, std::vector<TrackGainState>& states) override
    {
        if (throwOnRender)
            throw std::runtime_error("render failed");
        const auto produced = static_cast<std::uint32_t>(length == 0 ? frames : std::min<std::uint64_t>(frames, length - std::min(length, cursor)));
        for (std::size_t t = 0; t < levels.size(); ++t)
            MixKernels::LayeredMix(output, std::vector<float>(std::size_t{info.format.channelCount} * frames, levels[t]).data(),
                                   produced, info.format.channelCount, states[t]);
        cursor += produced;
        renderCalls.push_back(frames);
        return produced;
    }
    bool SetPosition(std::uint64_t sample) override { cursor = sample; return true; }
    void Close() override {}

    TrackListInfo info;
    std::vector<float> levels;
    std::uint64_t length;
    std::uint64_t cursor = 0;
    bool loadSucceeds = true;
    bool throwOnRender = false;
    std::vector<std::uint32_t> renderCalls;
};

// The info a loaded list of `tracks` DC tracks reports: 48 kHz float with
// `channels` channels, bindings "t0", "t1", ... and the given list name.
inline TrackListInfo DcListInfo(std::uint32_t tracks, std::uint32_t channels, std::u16string listName = u"")
{
    TrackListInfo info{tracks, HSSWaveFormat{48000, channels, kSampleFormatFloat32, 2, 0, 0, {}}, {}, {}, std::move(listName), {}};
    for (std::uint32_t t = 0; t < tracks; ++t)
        info.bindings.emplace_back(u"t" + std::u16string(1, static_cast<char16_t>(u'0' + t)), t);
    return info;
}

// An opened decoder of type D over a FakeMixer; `mixerOut` gets the mixer,
// which the decoder owns.
template <typename D = MultiTrackDecoderBaseImpl>
D* OpenOverFakeMixer(MultiTrackCallbackIntf* callback, TrackListInfo info, std::vector<float> levels,
                     std::uint64_t length, FakeMixer** mixerOut = nullptr)
{
    auto* decoder = new D(nullptr, callback);
    auto mixer = std::make_unique<FakeMixer>(std::move(info), std::move(levels), length);
    if (mixerOut)
        *mixerOut = mixer.get();
    EXPECT_TRUE(decoder->OpenWithMixer(std::move(mixer), u"list.mtrk", decoder->Format()));
    decoder->SetOpened(true);
    return decoder;
}

struct Block {
    std::vector<float> samples;
    std::uint32_t rendered = 77;
    std::uint32_t status = 77;
};

// Renders one block of `frames` float frames; a sentinel after it must stay.
inline Block RenderBlock(IHSSWaveDecoder* decoder, std::uint32_t frames, std::uint32_t channels = 1)
{
    Block block{std::vector<float>(std::size_t{frames} * channels + 1, 9.0f)};
    EXPECT_EQ(decoder->Render(block.samples.data(), frames, &block.rendered, &block.status), S_OK);
    EXPECT_EQ(block.samples.back(), 9.0f) << "written past the block";
    block.samples.pop_back();
    return block;
}

// The frame at which `samples` (one channel) first differs from `from`;
// samples.size() when it never does.
inline std::size_t FirstFrameNotEqual(const std::vector<float>& samples, float from)
{
    return static_cast<std::size_t>(std::find_if(samples.begin(), samples.end(), [from](float s) { return s != from; }) -
                                    samples.begin());
}

// Records the calls: "register:id", "unregister:id", "open:id|url|tracks|index:name ...".
class RecordingCallback final : public MultiTrackCallbackIntf {
public:
    bool RegisterInstance(MultiTrackDecoder*, const char16_t* id) override
    {
        calls.push_back(u"register:" + std::u16string(id));
        return *id != 0;
    }
    bool UnregisterInstance(MultiTrackDecoder*, const char16_t* id) override
    {
        calls.push_back(u"unregister:" + std::u16string(id));
        return true;
    }
    void NotifyOpen(const char16_t* id, const char16_t* url, std::int32_t tracks, const TrackNameEntry* names,
                    std::int32_t count) override
    {
        calls.push_back(u"open:" + std::u16string(id) + u"|" + url + u"|" + vytext::ToUtf16(std::to_string(tracks)) + u"|");
        for (std::int32_t i = 0; i < count; ++i)
            calls.back() += vytext::ToUtf16(std::to_string(names[i].index)) + u":" + names[i].name + u" ";
    }
    void Log(const char16_t* message, const char16_t* detail) override { logs.emplace_back(message, detail); }

    std::vector<std::u16string> calls;
    std::vector<std::pair<std::u16string, std::u16string>> logs;
};
