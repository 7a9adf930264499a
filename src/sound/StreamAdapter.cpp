#include "StreamAdapter.h"

#include <vymultitrack/Stream.h>

#include <limits>

namespace StreamAdapter {

int ReadBytes(void* stream, unsigned char* buffer, int bytes)
{
    if (!stream || !buffer || bytes <= 0)
        return 0;
    ULONG read = 0;
    if (FAILED(static_cast<IStream*>(stream)->Read(buffer, static_cast<ULONG>(bytes), &read)))
        return 0;
    return static_cast<int>(read > static_cast<ULONG>(bytes) ? bytes : read);
}

std::size_t ReadItems(void* buffer, std::size_t size, std::size_t count, void* stream)
{
    if (!stream || !buffer || size == 0 || count == 0)
        return 0;
    // One IStream read takes at most 4 GiB - 1; the libraries ask for far less.
    const std::size_t wanted = size * count;
    if (count > std::numeric_limits<std::size_t>::max() / size ||
        wanted > std::numeric_limits<ULONG>::max())
        return 0;
    // Short only at the end of the data or at a failure, as fread is:
    // vorbisfile takes a short count for the data's end and, given one in
    // the middle of a page, corrupts its page buffer. A host stream fed in
    // chunks may stop short on any Read.
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < wanted) {
        ULONG read = 0;
        if (FAILED(static_cast<IStream*>(stream)->Read(bytes + got, static_cast<ULONG>(wanted - got), &read)) ||
            read == 0)
            break;
        got += read > wanted - got ? wanted - got : read;
    }
    return got / size;
}

int Seek(void* stream, std::int64_t offset, int whence)
{
    if (!stream || whence < 0 || whence > 2)
        return -1;
    static_assert(STREAM_SEEK_SET == 0 && STREAM_SEEK_CUR == 1 && STREAM_SEEK_END == 2);
    std::uint64_t position = 0;
    const HRESULT hr =
        static_cast<IStream*>(stream)->Seek(offset, static_cast<DWORD>(whence), &position);
    return FAILED(hr) ? -1 : 0;
}

std::int64_t Tell(void* stream)
{
    if (!stream)
        return -1;
    std::uint64_t position = 0;
    if (FAILED(static_cast<IStream*>(stream)->Seek(0, STREAM_SEEK_CUR, &position)) ||
        position > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return -1;
    return static_cast<std::int64_t>(position);
}

long TellLong(void* stream)
{
    const std::int64_t position = Tell(stream);
    return position <= std::numeric_limits<long>::max() ? static_cast<long>(position) : -1;
}

int CloseNothing(void*)
{
    return 0;
}

} // namespace StreamAdapter
