// Base of the decoders that read one source from a host IStream (the
// built-in Opus and Vorbis decoders). It holds the stream and turns the
// host's Render and SetPosition into the decoder's own operations.
#pragma once

#include "HSSDecoderBase.h"

#include <vymultitrack/Stream.h>

#include <cstdint>

class BasicHSSDecoder : public HSSDecoderBase {
public:
    // Render `frames` frames into `buffer`. E_FAIL without a stream; S_OK
    // otherwise, with `status` 1 when all frames came and 0 when the source
    // ended (also when decoding failed: then `rendered` is 0 too).
    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                              std::uint32_t* status) override;
    // E_FAIL without a stream or when the source refuses the seek.
    HRESULT VY_STDCALL SetPosition(std::uint64_t position) override;

    // Takes `source` (AddRef) and opens it as `name`; on failure releases it
    // again. Returns whether the source is open. `source` may be null
    // (false).
    [[nodiscard]] bool AttachStream(IStream* source, const char16_t* name);

    // Opens the source on `source`, filling `formatOut`.
    [[nodiscard]] virtual bool OpenStream(IStream* source, const char16_t* name,
                                          HSSWaveFormat& formatOut) = 0;
    // Decodes up to `frames` frames of interleaved samples into `buffer` and
    // stores the count in `rendered`. False when nothing was decoded.
    [[nodiscard]] virtual bool DecodeSamples(IStream* source, void* buffer, std::uint32_t frames,
                                             std::uint32_t& rendered) = 0;
    // Moves to sample frame `position`; false when refused.
    [[nodiscard]] virtual bool SeekSamples(IStream* source, std::uint64_t position) = 0;
    // Frees the decoding state (nothing in this base).
    virtual void CloseStream(IStream* source);

protected:
    BasicHSSDecoder() = default;
    // Releases the stream. Derived destructors free their decoding state
    // first.
    ~BasicHSSDecoder() override;
    [[nodiscard]] bool IsOpen() const override { return stream != nullptr; }
    [[nodiscard]] IStream* Stream() const { return stream; }

private:
    IStream* stream = nullptr; // one reference while set
};
