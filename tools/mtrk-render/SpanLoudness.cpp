#include "SpanLoudness.h"

#include <algorithm>

namespace mtrk {

SpanLoudness::SpanLoudness(const StreamFormat& format, const std::vector<std::uint64_t>& cuts)
    : starts_{0}, frameBytes_(format.FrameBytes())
{
    starts_.insert(starts_.end(), cuts.begin(), cuts.end());
    std::sort(starts_.begin(), starts_.end());
    starts_.erase(std::unique(starts_.begin(), starts_.end()), starts_.end());
    meters_.reserve(starts_.size());
    for (std::size_t i = 0; i < starts_.size(); ++i)
        meters_.emplace_back(format, kLoudnessIntegrated);
}

bool SpanLoudness::OnBlock(const void* samples, std::uint32_t frames, std::string& error)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    while (frames > 0) {
        while (current_ + 1 < starts_.size() && starts_[current_ + 1] <= position_)
            ++current_;
        const std::uint64_t room = current_ + 1 < starts_.size() ? starts_[current_ + 1] - position_ : frames;
        const auto take = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, room));
        if (!meters_[current_].OnBlock(bytes, take, error))
            return false;
        bytes += std::size_t{take} * frameBytes_;
        frames -= take;
        position_ += take;
    }
    return true;
}

} // namespace mtrk
