// IStream: the byte stream through which the host hands files to the
// plug-in, with the slot order of Windows' ISequentialStream and IStream.
// The plug-in calls Read, Seek and Stat (with STATFLAG_NONAME); a stream may
// answer E_NOTIMPL for every other operation.
#pragma once

#include "Unknown.h"

#include <cstdint>

using DWORD = std::uint32_t;

// Origins of IStream::Seek.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// Flags of IStream::Stat.
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;

inline constexpr DWORD STGTY_STREAM = 2;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// What Stat reports. The plug-in reads only cbSize. With STATFLAG_NONAME
// pwcsName stays null; otherwise the caller would own the name.
struct STATSTG {
    char16_t* pwcsName;
    DWORD type;
    std::uint64_t cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    GUID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

struct IStream : IUnknown {
    // ISequentialStream
    // Reads up to `size` bytes into `buffer`; stores the count read through
    // `read` (may be null). S_OK when everything asked for was read; at the
    // end of the stream fewer bytes with S_FALSE, or with S_OK as the
    // system's own memory streams answer, so callers go by the count; a
    // failure code otherwise.
    virtual HRESULT VY_STDCALL Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT VY_STDCALL Write(const void* buffer, ULONG size, ULONG* written) = 0;
    // IStream
    // Moves the position by `move` bytes from `origin` (STREAM_SEEK_*) and
    // stores the new position through `newPosition` (may be null). A
    // position before the start answers a failure and leaves the position.
    virtual HRESULT VY_STDCALL Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) = 0;
    virtual HRESULT VY_STDCALL SetSize(std::uint64_t newSize) = 0;
    virtual HRESULT VY_STDCALL CopyTo(IStream* target, std::uint64_t size, std::uint64_t* read,
                                      std::uint64_t* written) = 0;
    virtual HRESULT VY_STDCALL Commit(DWORD flags) = 0;
    virtual HRESULT VY_STDCALL Revert() = 0;
    virtual HRESULT VY_STDCALL LockRegion(std::uint64_t offset, std::uint64_t size, DWORD type) = 0;
    virtual HRESULT VY_STDCALL UnlockRegion(std::uint64_t offset, std::uint64_t size, DWORD type) = 0;
    // Fills `stat`; cbSize is the stream's length in bytes.
    virtual HRESULT VY_STDCALL Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT VY_STDCALL Clone(IStream** out) = 0;

protected:
    ~IStream() = default;
};
