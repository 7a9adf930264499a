// Opening multi-track decoders over a FakeMixer and rendering them, for
// the decoder tests.
#pragma once

#include "FakeMixer.h"
#include "RecordingCallback.h"

#include <multitrack/MultiTrackDecoderBaseImpl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// An opened decoder of type D over a FakeMixer; the fixture keeps a pointer
// to the mixer, which the decoder owns.
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
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
};

// Renders one block of `frames` float frames; untouched samples keep the
// sentinel 9.0.
inline Block RenderBlock(IHSSWaveDecoder* decoder, std::uint32_t frames, std::uint32_t channels = 1)
{
    Block block;
    block.samples.assign(static_cast<std::size_t>(frames) * channels + 1, 9.0f);
    block.rendered = 77;
    block.status = 77;
    EXPECT_EQ(decoder->Render(block.samples.data(), frames, &block.rendered, &block.status), S_OK);
    EXPECT_EQ(block.samples.back(), 9.0f) << "written past the block";
    block.samples.pop_back();
    return block;
}

// The frame at which `samples` (one channel) first differs from `from`;
// samples.size() when it never does.
inline std::size_t FirstFrameNotEqual(const std::vector<float>& samples, float from)
{
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != from)
            return i;
    return samples.size();
}
