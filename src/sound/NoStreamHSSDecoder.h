// Base of the decoders that open their sources themselves instead of
// reading one host stream (the multi-track decoders). An opened flag takes
// the place of the stream.
#pragma once

#include "HSSDecoderBase.h"

#include <cstdint>

class NoStreamHSSDecoder : public HSSDecoderBase {
public:
    // As BasicHSSDecoder::Render, with "not opened" in place of "no stream".
    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                              std::uint32_t* status) override;
    HRESULT VY_STDCALL SetPosition(std::uint64_t position) override;

    // Opens `url`, filling `formatOut`. Does not set the opened flag.
    [[nodiscard]] virtual bool Open(const char16_t* url, HSSWaveFormat& formatOut) = 0;
    [[nodiscard]] virtual bool DecodeSamples(void* buffer, std::uint32_t frames,
                                             std::uint32_t& rendered) = 0;
    [[nodiscard]] virtual bool SeekSamples(std::uint64_t position) = 0;
    virtual void CloseSources() = 0;

    void SetOpened(bool value) { opened = value; }
    [[nodiscard]] bool Opened() const { return opened; }

protected:
    NoStreamHSSDecoder() = default;
    [[nodiscard]] bool IsOpen() const override { return opened; }

private:
    bool opened = false;
};
