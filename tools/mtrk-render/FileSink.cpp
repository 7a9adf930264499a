#include "FileSink.h"

#include "Schedule.h"

#include <vector>

namespace mtrk {

bool FileSink::Play(PlaySource& source, PlayControl& control, std::string& error)
{
    std::vector<unsigned char> buffer(static_cast<std::size_t>(block_) * source.Format().FrameBytes());
    while (control.Step(source.Clock()) && !source.Ended()) {
        const std::uint32_t want = NextBlock(source.Clock(), block_, control.NextDue(), std::nullopt);
        if (want == 0)
            break;
        const std::uint32_t rendered = source.Pull(buffer.data(), want);
        if (rendered > 0 && !wav_.Write(buffer.data(), rendered, error))
            return false;
    }
    return true;
}

} // namespace mtrk
