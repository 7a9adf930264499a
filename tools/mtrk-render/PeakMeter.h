// The largest sample magnitude of the output: all the summary needs of the
// sound, measured in one pass per block that the compiler can vectorise.
#pragma once

#include "RenderLoop.h"

#include <cstdint>

namespace mtrk {

class PeakMeter final : public BlockObserver {
public:
    explicit PeakMeter(const StreamFormat& format) : format_(format) {}

    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    // The largest |sample| so far (1.0 = full scale); NaN samples are left out.
    [[nodiscard]] float Peak() const;

private:
    StreamFormat format_;
    std::int32_t floatBits_ = 0;  // float output: largest |sample| as its bit pattern
    std::int32_t int16Peak_ = 0;  // 16-bit output: largest |sample|
};

} // namespace mtrk
