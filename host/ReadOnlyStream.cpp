#include "ReadOnlyStream.h"

#include <limits>

namespace host {

namespace {

constexpr std::uint64_t kLargestPosition = std::numeric_limits<std::int64_t>::max();

// The position `move` bytes from `base`; false when it falls below 0 or
// beyond kLargestPosition.
[[nodiscard]] bool Offset(std::uint64_t base, std::int64_t move, std::uint64_t& target)
{
    if (base > kLargestPosition)
        return false;
    const auto start = static_cast<std::int64_t>(base);
    // With start >= 0, start + move only overflows upwards.
    if (move > 0 && start > std::numeric_limits<std::int64_t>::max() - move)
        return false;
    const std::int64_t position = start + move;
    if (position < 0)
        return false;
    target = static_cast<std::uint64_t>(position);
    return true;
}

} // namespace

HRESULT ReadOnlyStream::Read(void* buffer, ULONG size, ULONG* read)
{
    if (read)
        *read = 0;
    if (size == 0)
        return S_OK;
    if (!buffer)
        return E_INVALIDARG;
    ULONG count = 0;
    const HRESULT result = ReadAtPosition(buffer, size, count);
    position_ += count;
    if (read)
        *read = count;
    return result;
}

HRESULT ReadOnlyStream::Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition)
{
    std::uint64_t base = 0;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = position_;
        break;
    case STREAM_SEEK_END:
        base = Size();
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    std::uint64_t target = 0;
    if (!Offset(base, move, target))
        return STG_E_INVALIDFUNCTION;
    if (const HRESULT moved = MoveTo(target); FAILED(moved))
        return moved;
    position_ = target;
    if (newPosition)
        *newPosition = target;
    return S_OK;
}

HRESULT ReadOnlyStream::Stat(STATSTG* stat, DWORD)
{
    if (!stat)
        return E_INVALIDARG;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize = Size();
    return S_OK;
}

HRESULT ReadOnlyStream::Write(const void*, ULONG, ULONG* written)
{
    if (written)
        *written = 0;
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::SetSize(std::uint64_t)
{
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::CopyTo(IStream*, std::uint64_t, std::uint64_t* read, std::uint64_t* written)
{
    if (read)
        *read = 0;
    if (written)
        *written = 0;
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::Commit(DWORD)
{
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::Revert()
{
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::LockRegion(std::uint64_t, std::uint64_t, DWORD)
{
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::UnlockRegion(std::uint64_t, std::uint64_t, DWORD)
{
    return E_NOTIMPL;
}

HRESULT ReadOnlyStream::Clone(IStream** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

} // namespace host
