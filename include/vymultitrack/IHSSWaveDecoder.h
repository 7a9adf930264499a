// A decoder: one open source from which the sound system pulls PCM.
#pragma once

#include "HSSWaveFormat.h"
#include "Unknown.h"

#include <cstdint>

struct IHSSWaveDecoder : IUnknown {
    // Copies the stream's format into `format`. E_FAIL when the decoder is
    // not open or its format is incomplete (zero rate, channels or sample
    // format).
    virtual HRESULT VY_STDCALL GetFormat(HSSWaveFormat* format) = 0;
    // Decodes up to `frames` frames (samples per channel) of interleaved
    // samples in the decoder's format into `buffer`. `rendered` (may be null)
    // receives the frames written; `status` (may be null) 1 while the stream
    // goes on and 0 once it has ended. S_OK, or E_FAIL when not open.
    virtual HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                                      std::uint32_t* status) = 0;
    // Moves to sample frame `position`. S_OK, or E_FAIL when not open or the
    // source refuses the seek.
    virtual HRESULT VY_STDCALL SetPosition(std::uint64_t position) = 0;

protected:
    ~IHSSWaveDecoder() = default;
};
