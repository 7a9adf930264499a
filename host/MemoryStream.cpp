#include "MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace host {

IStream* MemoryStream::Create(std::vector<std::uint8_t> bytes, StreamFaults faults)
{
    return new MemoryStream(std::move(bytes), faults);
}

MemoryStream::MemoryStream(std::vector<std::uint8_t> bytes, StreamFaults faults)
    : bytes_(std::move(bytes)), faults_(faults)
{
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD flags)
{
    if (faults_.failStat)
        return faults_.failure;
    return ReadOnlyStream::Stat(stat, flags);
}

std::uint64_t MemoryStream::Size() const
{
    return bytes_.size();
}

HRESULT MemoryStream::ReadAtPosition(void* buffer, ULONG size, ULONG& count)
{
    const std::uint64_t position = Position();
    const std::uint64_t available = position < bytes_.size() ? bytes_.size() - position : 0;
    const ULONG limited =
        faults_.maxBytesPerRead != 0 ? std::min(size, faults_.maxBytesPerRead) : size;
    std::uint64_t deliver = std::min<std::uint64_t>(limited, available);

    const bool breaks =
        faults_.failReadsAt && deliver != 0 && position + deliver > *faults_.failReadsAt;
    if (breaks)
        deliver = position < *faults_.failReadsAt ? *faults_.failReadsAt - position : 0;

    if (deliver != 0)
        std::memcpy(buffer, bytes_.data() + position, static_cast<std::size_t>(deliver));
    count = static_cast<ULONG>(deliver);
    if (breaks)
        return faults_.failure;
    if (count == size || count < available)
        return S_OK;
    return S_FALSE;
}

HRESULT MemoryStream::MoveTo(std::uint64_t)
{
    return faults_.failSeek ? faults_.failure : S_OK;
}

} // namespace host
