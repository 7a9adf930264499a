#include "TrackListFile.h"

#include "TrackListEncoding.h"
#include "TrackListReader.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

namespace {

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};
using StreamReference = std::unique_ptr<IStream, StreamRelease>;

// Files of 2^32 bytes and more are refused: a list is small text, and one
// Read takes a 32-bit count.
constexpr std::uint64_t kSizeLimit = std::uint64_t{1} << 32;

std::optional<std::uint64_t> StreamSize(IStream& stream)
{
    STATSTG stat{};
    if (SUCCEEDED(stream.Stat(&stat, STATFLAG_NONAME)))
        return stat.cbSize;
    std::uint64_t current = 0;
    std::uint64_t end = 0;
    if (FAILED(stream.Seek(0, STREAM_SEEK_CUR, &current)) ||
        FAILED(stream.Seek(0, STREAM_SEEK_END, &end)) ||
        FAILED(stream.Seek(static_cast<std::int64_t>(current), STREAM_SEEK_SET, nullptr)))
        return std::nullopt;
    return end;
}

// Reads `size` bytes with one Read and decodes what arrived. A short read
// is not a failure: IStream answers S_FALSE when the data ends early.
bool ReadAndDecode(IStream& stream, std::uint32_t size, std::u16string& text)
{
    if (size == 0)
        return true;
    // Left uninitialised: only the bytes that arrive are looked at.
    const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
    if (!buffer)
        return false;
    ULONG arrived = 0;
    if (FAILED(stream.Read(buffer.get(), size, &arrived)))
        return false;
    try {
        text = DecodeTrackListText(buffer.get(), std::min<ULONG>(arrived, size));
    } catch (const std::bad_alloc&) {
        return false; // too large to hold as text
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

} // namespace

bool ReadTextFile(HSSStorageProvider* storage, const char16_t* path, std::u16string& text)
{
    text.clear();
    if (!storage || !path)
        return false;
    IStream* opened = nullptr;
    const HRESULT openResult = storage->OpenStreamForRead(path, &opened);
    const StreamReference stream(opened);
    if (FAILED(openResult) || !stream)
        return false;
    const std::optional<std::uint64_t> size = StreamSize(*stream);
    if (!size || *size >= kSizeLimit)
        return false;
    if (ReadAndDecode(*stream, static_cast<std::uint32_t>(*size), text))
        return true;
    text.clear();
    return false;
}

TrackListDescription ReadTrackListFile(HSSStorageProvider* storage, const char16_t* path)
{
    const std::u16string_view name = path ? path : u"";
    const std::optional<TrackListForm> form = TrackListFormOf(name);
    std::u16string text;
    if (form && form != TrackListForm::MtrkInline)
        (void)ReadTextFile(storage, path, text); // unreadable reads as empty
    return ReadTrackList(name, text);
}
