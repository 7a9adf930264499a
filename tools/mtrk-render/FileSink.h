// --play-to: the real-time loop run as fast as a WAV file takes the
// blocks, on the main thread, so that every command lands on the block
// boundary of its audio-clock time (blocks are cut there, as the offline
// render cuts them at timeline actions).
#pragma once

#include "PlaySink.h"
#include "WavOutput.h"


namespace mtrk {

class FileSink final : public PlaySink {
public:
    FileSink(WavOutput& wav, std::uint32_t block) : wav_(wav), block_(block) {}

    [[nodiscard]] bool Play(PlaySource& source, PlayControl& control, std::string& error) override;

private:
    WavOutput& wav_;
    std::uint32_t block_;
};

} // namespace mtrk
