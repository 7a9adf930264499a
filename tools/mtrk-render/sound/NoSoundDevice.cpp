// The build found no PortAudio: --play-to works, --play does not.
#include "SoundDevice.h"

namespace mtrk {

std::unique_ptr<PlaySink> OpenSoundDevice(const StreamFormat&, std::uint32_t, std::string& error)
{
    error = "--play: this build has no sound output (built without PortAudio); --play-to FILE.wav works";
    return nullptr;
}

} // namespace mtrk
