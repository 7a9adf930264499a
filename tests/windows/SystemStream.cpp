#include "SystemStream.h"

#include <windows.h>
#include <objidl.h>

#include <cstddef>

namespace systemcom {

void* CreateMemoryStream(const std::vector<std::uint8_t>& bytes)
{
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    ULONG written = 0;
    LARGE_INTEGER start{};
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) ||
        written != bytes.size() || FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) {
        stream->Release();
        return nullptr;
    }
    return stream;
}

StatLayout SystemStatLayout()
{
    return {sizeof(STATSTG), offsetof(STATSTG, cbSize)};
}

} // namespace systemcom
