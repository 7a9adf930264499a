#include "SwitchProbe.h"

#include <algorithm>
#include <cstring>

namespace mtrk {

bool Recorder::OnBlock(const void* samples, std::uint32_t frames, std::string& /*error*/)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    bytes_.insert(bytes_.end(), bytes, bytes + static_cast<std::size_t>(frames) * frameBytes_);
    return true;
}

bool DifferenceFinder::OnBlock(const void* samples, std::uint32_t frames, std::string& /*error*/)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    for (std::uint32_t f = 0; f < frames; ++f, ++frame_) {
        const std::size_t offset = static_cast<std::size_t>(frame_) * frameBytes_;
        if (offset + frameBytes_ > reference_.size() ||
            std::memcmp(bytes + static_cast<std::size_t>(f) * frameBytes_, reference_.data() + offset, frameBytes_) != 0) {
            first_ = frame_;
            return false;
        }
    }
    return true;
}

std::optional<std::uint64_t> FindSwitchFrame(const std::vector<unsigned char>& reference, std::uint32_t frameBytes,
                                             const std::function<bool(BlockObserver&)>& renderWithout)
{
    DifferenceFinder finder(reference, frameBytes);
    if (!renderWithout(finder))
        return std::nullopt;
    return finder.FirstDifference();
}

} // namespace mtrk
