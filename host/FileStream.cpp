#include "FileStream.h"

#include <ios>
#include <system_error>
#include <utility>

namespace host {

static_assert(sizeof(std::streamoff) >= 8, "files beyond 4 GiB need 64-bit stream offsets");

namespace {

// Whether `path` names something that can be opened as a file: S_OK, or the
// code Open answers when it cannot.
[[nodiscard]] HRESULT CheckReadableFile(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return STG_E_FILENOTFOUND;
    // Folders, devices and pipes (which could block the reader) are refused
    // as well as paths whose status is hidden from us.
    if (error || status.type() != std::filesystem::file_type::regular)
        return STG_E_ACCESSDENIED;
    return S_OK;
}

} // namespace

HRESULT FileStream::Open(const std::filesystem::path& path, IStream** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (const HRESULT readable = CheckReadableFile(path); FAILED(readable))
        return readable;

    std::filebuf file;
    if (!file.open(path, std::ios::in | std::ios::binary))
        return STG_E_ACCESSDENIED;
    const auto end = std::streamoff(file.pubseekoff(0, std::ios::end, std::ios::in));
    if (end < 0 || std::streamoff(file.pubseekpos(0, std::ios::in)) != 0)
        return STG_E_SEEKERROR;
    *out = new FileStream(std::move(file), static_cast<std::uint64_t>(end));
    return S_OK;
}

FileStream::FileStream(std::filebuf file, std::uint64_t size) : file_(std::move(file)), size_(size)
{
}

std::uint64_t FileStream::Size() const
{
    return size_;
}

HRESULT FileStream::ReadAtPosition(void* buffer, ULONG size, ULONG& count)
{
    const std::streamsize got =
        file_.sgetn(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    count = got > 0 ? static_cast<ULONG>(got) : 0;
    return count == size ? S_OK : S_FALSE;
}

HRESULT FileStream::MoveTo(std::uint64_t position)
{
    // Repositioning drops std::filebuf's buffer; a stream asked where it is
    // (STREAM_SEEK_CUR 0) keeps it.
    if (position == Position())
        return S_OK;
    const auto offset = static_cast<std::streamoff>(position);
    return std::streamoff(file_.pubseekpos(offset, std::ios::in)) == offset ? S_OK
                                                                            : STG_E_SEEKERROR;
}

} // namespace host
