#include "PlaySource.h"

#include <algorithm>
#include <cstring>

namespace mtrk {

PlaySource::PlaySource(IHSSWaveDecoder& decoder, const StreamFormat& format, std::uint64_t position, SampleRing* tap)
    : decoder_(decoder), format_(format), tap_(tap), position_(position)
{
}

std::uint32_t PlaySource::Pull(void* out, std::uint32_t frames)
{
    std::uint32_t rendered = 0;
    if (!paused_.load() && !ended_.load()) {
        std::uint32_t status = 0;
        if (decoder_.Render(out, frames, &rendered, &status) < 0)
            rendered = 0;
        rendered = std::min(rendered, frames);
        if (rendered < frames || status == 0)
            ended_.store(true);
        clock_.fetch_add(rendered);
        position_.fetch_add(rendered);
    }
    const std::size_t bytes = static_cast<std::size_t>(rendered) * format_.FrameBytes();
    std::memset(static_cast<unsigned char*>(out) + bytes, 0, static_cast<std::size_t>(frames) * format_.FrameBytes() - bytes);
    if (tap_)
        tap_->Write(out, bytes);
    return rendered;
}

bool PlaySource::Seek(std::uint64_t position)
{
    if (decoder_.SetPosition(position) < 0)
        return false;
    position_.store(position);
    ended_.store(false);
    return true;
}

} // namespace mtrk
