// An IStream over a file on disk, opened read-only.
#pragma once

#include "ReadOnlyStream.h"

#include <filesystem>
#include <fstream>

namespace host {

// Reads a file through std::filebuf with 64-bit offsets. Read, Seek and Stat
// behave as ReadOnlyStream describes; the size that Stat and
// STREAM_SEEK_END use is the file's length when it was opened. A read error
// of the file system looks like the end of the file (a short read, S_FALSE):
// std::filebuf does not tell the two apart.
class FileStream final : public ReadOnlyStream {
public:
    // Opens `path` for reading and stores a stream with one reference for the
    // caller through `out`. Answers
    //   S_OK                  opened;
    //   E_INVALIDARG          `out` is null;
    //   STG_E_FILENOTFOUND    nothing exists at `path` (or a folder on the
    //                         way is missing or is a file);
    //   STG_E_ACCESSDENIED    something exists there but cannot be read as a
    //                         file: a folder or another non-regular file, a
    //                         file without read permission, or a path whose
    //                         status the system refuses to give;
    //   STG_E_SEEKERROR       the file opened but its length could not be
    //                         found.
    // `*out` is null after every failure.
    [[nodiscard]] static HRESULT Open(const std::filesystem::path& path, IStream** out);

private:
    FileStream(std::filebuf file, std::uint64_t size);
    ~FileStream() override = default;

    [[nodiscard]] std::uint64_t Size() const override;
    [[nodiscard]] HRESULT ReadAtPosition(void* buffer, ULONG size, ULONG& count) override;
    [[nodiscard]] HRESULT MoveTo(std::uint64_t position) override;

    std::filebuf file_;
    std::uint64_t size_;
};

} // namespace host
