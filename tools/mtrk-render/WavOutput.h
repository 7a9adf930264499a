// A RIFF WAVE file written while rendering: the header of host/WavWriter
// (plain layout, 32-bit float or 16-bit PCM) with its sizes filled in at the
// end, through an OutputFile so that no partial file is left behind.
#pragma once

#include "OutputFile.h"
#include "RenderLoop.h"

#include <cstdint>

namespace mtrk {

class WavOutput final : public BlockObserver {
public:
    [[nodiscard]] bool Open(const std::filesystem::path& target, std::uint16_t channels, std::uint32_t rate,
                            bool float32, std::string& error);
    // Appends `frames` interleaved frames in the file's sample format.
    [[nodiscard]] bool Write(const void* samples, std::uint32_t frames, std::string& error);
    // Fills in the sizes and renames the file over the target.
    [[nodiscard]] bool Commit(std::string& error);
    void Abandon() { file_.Abandon(); }
    // Writes each rendered block.
    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override
    {
        return Write(samples, frames, error);
    }

    [[nodiscard]] std::uint64_t Frames() const { return frameBytes_ ? dataBytes_ / frameBytes_ : 0; }

private:
    OutputFile file_;
    std::uint32_t frameBytes_ = 0;
    std::uint64_t dataBytes_ = 0;
};

} // namespace mtrk
