#include "BasicHSSDecoder.h"

BasicHSSDecoder::~BasicHSSDecoder()
{
    if (stream)
        stream->Release();
}

bool BasicHSSDecoder::AttachStream(IStream* source, const char16_t* name)
{
    if (!source)
        return false;
    source->AddRef();
    stream = source;
    if (OpenStream(stream, name, format))
        return true;
    stream->Release();
    stream = nullptr;
    return false;
}

HRESULT BasicHSSDecoder::Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                                std::uint32_t* status)
{
    if (!stream)
        return E_FAIL;
    std::uint32_t decoded = 0;
    const bool ok = DecodeSamples(stream, buffer, frames, decoded);
    StoreRenderResult(ok, decoded, frames, rendered, status);
    return S_OK;
}

HRESULT BasicHSSDecoder::SetPosition(std::uint64_t position)
{
    if (!stream)
        return E_FAIL;
    return SeekSamples(stream, position) ? S_OK : E_FAIL;
}

void BasicHSSDecoder::CloseStream(IStream*) {}
