#include "Envelope.h"

#include <cmath>
#include <cstring>

namespace mtrk {

Envelope::Envelope(const StreamFormat& format, std::uint32_t bucketFrames)
    : channels_(format.channels), float32_(format.float32), bucketFrames_(bucketFrames)
{
}

void Envelope::Add(std::uint16_t channel, float value)
{
    EnvelopeBucket& bucket = buckets_.back();
    const float magnitude = std::fabs(value);
    if (magnitude > bucket.peak[channel])
        bucket.peak[channel] = magnitude;
    bucket.sumSquares[channel] += static_cast<double>(value) * value;
}

bool Envelope::OnBlock(const void* samples, std::uint32_t frames, std::string& /*error*/)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        if (buckets_.empty() || buckets_.back().frames == bucketFrames_) {
            buckets_.emplace_back();
            buckets_.back().peak.assign(channels_, 0.0f);
            buckets_.back().sumSquares.assign(channels_, 0.0);
        }
        for (std::uint16_t c = 0; c < channels_; ++c) {
            const std::size_t index = static_cast<std::size_t>(frame) * channels_ + c;
            float value = 0.0f;
            if (float32_) {
                std::memcpy(&value, bytes + index * 4, 4);
            } else {
                std::int16_t sample = 0;
                std::memcpy(&sample, bytes + index * 2, 2);
                value = static_cast<float>(sample) / 32768.0f;
            }
            Add(c, value);
        }
        ++buckets_.back().frames;
    }
    return true;
}

} // namespace mtrk
