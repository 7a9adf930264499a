// A mixer over in-memory DC tracks, for tests of the multi-track decoder:
// track t is a constant `levels[t]` on every channel for `length` frames
// (0: endless). It mixes with the real kernels, so gains and ramps behave
// as in the real mixers.
#pragma once

#include <multitrack/MixKernels.h>
#include <multitrack/RenderMixerInterface.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

class FakeMixer final : public RenderMixerInterface {
public:
    FakeMixer(TrackListInfo loadInfo, std::vector<float> trackLevels, std::uint64_t lengthFrames)
        : info(std::move(loadInfo)), levels(std::move(trackLevels)), length(lengthFrames)
    {
    }

    bool Load(HSSStorageProvider*, const char16_t*, TrackListInfo& out) override
    {
        ++loads;
        out = info;
        return loadSucceeds;
    }

    std::uint32_t Render(float* output, std::uint32_t frames, std::vector<TrackGainState>& states) override
    {
        if (throwOnRender)
            throw std::runtime_error("render failed");
        const std::uint32_t channels = info.format.channelCount;
        std::uint64_t available = length == 0 ? frames : (cursor < length ? length - cursor : 0);
        const auto produced = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, available));
        scratch.resize(static_cast<std::size_t>(channels) * frames);
        for (std::size_t t = 0; t < levels.size(); ++t) {
            std::fill(scratch.begin(), scratch.end(), levels[t]);
            MixKernels::LayeredMix(output, scratch.data(), produced, channels, states[t]);
        }
        cursor += produced;
        renderCalls.push_back(frames);
        return produced;
    }

    bool SetPosition(std::uint64_t sample) override
    {
        cursor = sample;
        return true;
    }

    void Close() override { ++closes; }

    TrackListInfo info;
    std::vector<float> levels;
    std::uint64_t length;
    std::uint64_t cursor = 0;
    bool loadSucceeds = true;
    bool throwOnRender = false;
    int loads = 0;
    int closes = 0;
    std::vector<std::uint32_t> renderCalls;
    std::vector<float> scratch;
};

// The info a loaded list of `tracks` DC tracks reports: 48 kHz float with
// `channels` channels, bindings "t0", "t1", ... and the given list name.
inline TrackListInfo DcListInfo(std::uint32_t tracks, std::uint32_t channels, std::u16string listName = u"",
                                std::uint32_t rate = 48000)
{
    TrackListInfo info;
    info.trackCount = tracks;
    info.format.sampleRate = rate;
    info.format.channelCount = channels;
    info.format.sampleFormat = 0x10020;
    info.format.seekCapability = 2;
    info.listName = std::move(listName);
    for (std::uint32_t t = 0; t < tracks; ++t) {
        std::u16string name = u"t";
        name.push_back(static_cast<char16_t>(u'0' + t));
        info.bindings.emplace_back(name, static_cast<std::int32_t>(t));
    }
    return info;
}
