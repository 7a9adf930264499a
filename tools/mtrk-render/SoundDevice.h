// --play: the default sound output, through PortAudio where the build has
// it (sound/PortAudioSink.cpp), else a stand-in that says the build has no
// sound output (sound/NoSoundDevice.cpp).
#pragma once

#include "PlaySink.h"

#include <memory>

namespace mtrk {

// Opens the default output device for `format` with blocks of `block`
// frames. Null with a one-line `error` when there is none.
[[nodiscard]] std::unique_ptr<PlaySink> OpenSoundDevice(const StreamFormat& format, std::uint32_t block,
                                                        std::string& error);

} // namespace mtrk
