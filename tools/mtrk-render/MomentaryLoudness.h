// The momentary (400 ms) loudness of the output, read every 100 ms of
// audio: the loudness curve of the plot.
#pragma once

#include "LoudnessMeter.h"

#include <cstdint>
#include <vector>

namespace mtrk {

class MomentaryLoudness final : public BlockObserver {
public:
    // `expectedFrames` (0: unknown) sizes the curve up front.
    MomentaryLoudness(const StreamFormat& format, std::uint64_t expectedFrames);

    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    // Reading i (LUFS) is the loudness of the 400 ms up to output frame
    // (i + 1) * StepFrames().
    [[nodiscard]] const std::vector<double>& Curve() const { return curve_; }
    [[nodiscard]] std::uint32_t StepFrames() const { return step_; }

private:
    LoudnessMeter meter_;
    std::uint32_t frameBytes_;
    std::uint32_t step_;
    std::uint32_t sinceReading_ = 0;
    std::vector<double> curve_;
};

} // namespace mtrk
