#include "NoStreamHSSDecoder.h"

HRESULT NoStreamHSSDecoder::Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                                   std::uint32_t* status)
{
    if (!opened)
        return E_FAIL;
    std::uint32_t decoded = 0;
    const bool ok = DecodeSamples(buffer, frames, decoded);
    StoreRenderResult(ok, decoded, frames, rendered, status);
    return S_OK;
}

HRESULT NoStreamHSSDecoder::SetPosition(std::uint64_t position)
{
    if (!opened)
        return E_FAIL;
    return SeekSamples(position) ? S_OK : E_FAIL;
}
