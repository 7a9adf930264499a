// A decoder over one RIFF WAVE source read through a host IStream: 16-bit
// integer or 32-bit float samples of any channel count, delivered exactly as
// stored, with sample-exact seeking.
#pragma once

#include <vymultitrack/ComObject.h>

#include "WavHeader.h"

#include <vymultitrack/IHSSWaveDecoder.h>
#include <vymultitrack/Stream.h>

#include <atomic>
#include <cstdint>

namespace vywav {

class WavDecoder final : public vy::ComObject<IHSSWaveDecoder, IID_IHSSObject> {
public:
    // Reads the header of `stream` and, when it is a WAVE file this decoder
    // plays, stores a new decoder with one reference through `out` (taking
    // its own reference on the stream) and answers WavError::None. Otherwise
    // `out` stays null and the answer tells why. `stream` must not be null.
    [[nodiscard]] static WavError Open(IStream* stream, WavDecoder** out);

    // Answers IID_IUnknown and IID_IHSSObject.
    // Sample rate, channels, 16 or 0x10020, seek code 2, total frames and
    // milliseconds (frames × 1000 ÷ rate, truncated, at most 0xFFFFFFFF).
    // E_INVALIDARG for a null `format`.
    HRESULT VY_STDCALL GetFormat(HSSWaveFormat* format) override;
    // Copies up to `frames` frames from the position as stored (16-bit
    // little-endian integers or 32-bit floats, interleaved) and advances the
    // position. `status` 1 when all `frames` came, 0 when the data ended
    // (or the stream failed) first; at the end 0 frames with status 0.
    // S_OK; E_INVALIDARG (0 frames, status 0) for a null buffer with frames.
    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                              std::uint32_t* status) override;
    // Moves to frame `position`, 0 to the total inclusive. E_FAIL past the
    // end, leaving the position as it was.
    HRESULT VY_STDCALL SetPosition(std::uint64_t position) override;

private:
    WavDecoder(IStream* stream, const WavLayout& layout);
    ~WavDecoder() override;

    IStream* stream_; // one reference
    WavLayout layout_;
    HSSWaveFormat format_{};
    std::uint64_t position_ = 0; // in frames
};

} // namespace vywav
