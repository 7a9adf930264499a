// Peak and RMS of the output per channel, in buckets of a fixed number of
// frames: what the plot shows of the sound.
#pragma once

#include "RenderLoop.h"

#include <cstdint>
#include <vector>

namespace mtrk {

struct EnvelopeBucket {
    std::vector<float> peak;        // per channel, |sample| at most
    std::vector<double> sumSquares; // per channel
    std::uint32_t frames = 0;
};

class Envelope final : public BlockObserver {
public:
    Envelope(const StreamFormat& format, std::uint32_t bucketFrames = 256);

    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    [[nodiscard]] const std::vector<EnvelopeBucket>& Buckets() const { return buckets_; }
    [[nodiscard]] std::uint16_t Channels() const { return channels_; }

private:
    void Add(std::uint16_t channel, float value);

    std::uint16_t channels_;
    bool float32_;
    std::uint32_t bucketFrames_;
    std::vector<EnvelopeBucket> buckets_;
};

} // namespace mtrk
