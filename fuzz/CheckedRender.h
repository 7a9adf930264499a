// Render calls whose every block is checked as the host relies on it: the
// call succeeds, no more frames are reported than were asked for, nothing
// is written past the block, the format stays what it was when the stream
// opened, and (where the caller asks) every float sample is finite. A
// broken promise aborts, so that libFuzzer (or the replay) reports it.
#pragma once

#include <vymultitrack/IHSSWaveDecoder.h>

#include <cstdint>

namespace fuzz {

// Writes `what` to stderr and aborts.
[[noreturn]] void Fail(const char* what);

// The decoder's format; aborts when GetFormat fails or reports no rate,
// no channels or a sample size other than 16 or 32 bits.
HSSWaveFormat FormatOrFail(IHSSWaveDecoder* decoder);

struct RenderResult {
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
};

// Renders one block of `frames` frames of `format` and checks it.
RenderResult RenderChecked(IHSSWaveDecoder* decoder, const HSSWaveFormat& format, std::uint32_t frames,
                           bool requireFinite);

} // namespace fuzz
