#include "MomentaryLoudness.h"

#include <algorithm>

namespace mtrk {

MomentaryLoudness::MomentaryLoudness(const StreamFormat& format, std::uint64_t expectedFrames)
    : meter_(format, kLoudnessMomentary), frameBytes_(format.FrameBytes()), step_(std::max(1u, (format.rate + 5) / 10))
{
    curve_.reserve(static_cast<std::size_t>(expectedFrames / step_ + 1));
}

bool MomentaryLoudness::OnBlock(const void* samples, std::uint32_t frames, std::string& error)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    while (frames > 0) {
        const std::uint32_t take = std::min(frames, step_ - sinceReading_);
        if (!meter_.OnBlock(bytes, take, error))
            return false;
        bytes += std::size_t{take} * frameBytes_;
        frames -= take;
        sinceReading_ += take;
        if (sinceReading_ == step_) {
            curve_.push_back(meter_.Momentary());
            sinceReading_ = 0;
        }
    }
    return true;
}

} // namespace mtrk
