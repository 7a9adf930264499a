// What the host's read-only streams share: the Read, Seek and Stat rules
// and the operations they refuse. A concrete stream supplies its size, its
// reading and its repositioning.
#pragma once

#include <vymultitrack/ComObject.h>

#include <vymultitrack/Stream.h>

#include <cstdint>

namespace host {

// An IStream that can be read, repositioned and measured, and nothing else.
// It answers QueryInterface for IID_IUnknown, IID_ISequentialStream and
// IID_IStream. Positions and sizes are in bytes from the start of the
// stream. One stream serves one caller at a time (it is not thread-safe).
class ReadOnlyStream : public vy::ComObject<IStream, IID_ISequentialStream, IID_IStream> {
public:
    // Reads up to `size` bytes at the position into `buffer` and advances the
    // position by the count read, which is stored through `read` (may be
    // null; 0 on every early failure). S_OK when all `size` bytes were read
    // (size 0 included); S_FALSE when fewer were, at the end of the stream;
    // E_INVALIDARG when `buffer` is null and `size` is not 0; otherwise the
    // failure the stream reports (the bytes read before it still count).
    HRESULT VY_STDCALL Read(void* buffer, ULONG size, ULONG* read) override;

    // Moves to `move` bytes from the start (STREAM_SEEK_SET), the current
    // position (STREAM_SEEK_CUR) or the end (STREAM_SEEK_END) and stores the
    // new position through `newPosition` (may be null). Positions past the
    // end are allowed; reading there gives 0 bytes and S_FALSE.
    // STG_E_INVALIDFUNCTION for an unknown origin or a resulting position
    // below 0 or beyond 2^63-1; otherwise the failure the stream reports. On
    // every failure the position and `*newPosition` stay as they were.
    HRESULT VY_STDCALL Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) override;

    // Fills `*stat` with type STGTY_STREAM and cbSize = the size in bytes;
    // every other field is zero and pwcsName is null, whatever `flags` say
    // (the host's streams carry no name, so STATFLAG_DEFAULT gets none to
    // free either). S_OK; E_INVALIDARG when `stat` is null.
    HRESULT VY_STDCALL Stat(STATSTG* stat, DWORD flags) override;

    // Refused: each answers E_NOTIMPL. Those with out-parameters store 0 or
    // null through them when they are not null.
    HRESULT VY_STDCALL Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT VY_STDCALL SetSize(std::uint64_t newSize) override;
    HRESULT VY_STDCALL CopyTo(IStream* target, std::uint64_t size, std::uint64_t* read,
                              std::uint64_t* written) override;
    HRESULT VY_STDCALL Commit(DWORD flags) override;
    HRESULT VY_STDCALL Revert() override;
    HRESULT VY_STDCALL LockRegion(std::uint64_t offset, std::uint64_t size, DWORD type) override;
    HRESULT VY_STDCALL UnlockRegion(std::uint64_t offset, std::uint64_t size, DWORD type) override;
    HRESULT VY_STDCALL Clone(IStream** out) override;

protected:
    ReadOnlyStream() = default;
    ~ReadOnlyStream() override = default;

    // The current position in bytes.
    [[nodiscard]] std::uint64_t Position() const { return position_; }

private:
    // The stream's length in bytes.
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // Reads up to `size` bytes (never 0) at Position() into `buffer` (never
    // null) and stores the count through `count`. Answers S_OK, S_FALSE or a
    // failure as Read does; the caller advances the position.
    [[nodiscard]] virtual HRESULT ReadAtPosition(void* buffer, ULONG size, ULONG& count) = 0;
    // Makes `position` the place the next ReadAtPosition starts from. S_OK,
    // or a failure after which the stream still reads from Position().
    [[nodiscard]] virtual HRESULT MoveTo(std::uint64_t position) = 0;

    std::uint64_t position_ = 0;
};

} // namespace host
