#include "SpanLoudness.h"

#include <algorithm>
#include <cmath>

namespace mtrk {

SpanLoudness::SpanLoudness(const StreamFormat& format, const std::vector<std::uint64_t>& cuts)
    : format_(format), starts_{0}
{
    starts_.insert(starts_.end(), cuts.begin(), cuts.end());
    std::sort(starts_.begin(), starts_.end());
    starts_.erase(std::unique(starts_.begin(), starts_.end()), starts_.end());
    ended_.reserve(starts_.size());
    meter_.emplace(format_, kLoudnessIntegrated);
}

bool SpanLoudness::OnBlock(const void* samples, std::uint32_t frames, std::string& error)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    while (frames > 0) {
        const std::size_t next = ended_.size() + 1; // the span after the current one
        if (next < starts_.size() && starts_[next] == position_) {
            ended_.push_back(meter_->Integrated());
            meter_.emplace(format_, kLoudnessIntegrated);
            continue;
        }
        const std::uint64_t room = next < starts_.size() ? starts_[next] - position_ : frames;
        const auto take = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, room));
        if (!meter_->OnBlock(bytes, take, error))
            return false;
        bytes += std::size_t{take} * format_.FrameBytes();
        frames -= take;
        position_ += take;
    }
    return true;
}

double SpanLoudness::Integrated(std::size_t span) const
{
    if (span < ended_.size())
        return ended_[span];
    return span == ended_.size() ? meter_->Integrated() : -HUGE_VAL;
}

} // namespace mtrk
