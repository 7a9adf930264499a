// Opening files as streams; what every stream does once open is checked in
// ReadOnlyStreamTest.
#include "HostTestSupport.h"

#include "host/FileStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <system_error>

namespace {

using hosttest::Owned;

class FileStreamOpen : public ::testing::Test {
protected:
    // What Open answers for `path`; checks that a failure stores null.
    HRESULT OpenResult(const std::filesystem::path& path)
    {
        // Not null, so that a failure has to clear it.
        IStream* stream = reinterpret_cast<IStream*>(&folder_);
        const HRESULT result = host::FileStream::Open(path, &stream);
        const Owned<IStream> owned(SUCCEEDED(result) ? stream : nullptr);
        if (FAILED(result)) {
            EXPECT_EQ(stream, nullptr) << "a failed open left something in `out`";
        }
        return result;
    }

    hosttest::TempFolder folder_;
};

TEST_F(FileStreamOpen, TellsAMissingFileFromOneThatCannotBeRead)
{
    const std::filesystem::path file = folder_.Path() / "present.bin";
    hosttest::WriteFile(file, hosttest::Pattern(3));

    EXPECT_EQ(OpenResult(file), S_OK);
    EXPECT_EQ(OpenResult(folder_.Path() / "absent.bin"), STG_E_FILENOTFOUND);
    EXPECT_EQ(OpenResult(folder_.Path() / "absent" / "x.bin"), STG_E_FILENOTFOUND);
    EXPECT_EQ(OpenResult(file / "below-a-file.bin"), STG_E_FILENOTFOUND);
    EXPECT_EQ(OpenResult(folder_.Path()), STG_E_ACCESSDENIED) << "a folder";
    EXPECT_EQ(host::FileStream::Open(file, nullptr), E_INVALIDARG);
}

TEST_F(FileStreamOpen, RefusesAFileWithoutReadPermission)
{
    const std::filesystem::path file = folder_.Path() / "locked.bin";
    hosttest::WriteFile(file, hosttest::Pattern(3));
    if (!hosttest::LockOut(file))
        GTEST_SKIP() << "permission bits do not stop this user from reading";
    EXPECT_EQ(OpenResult(file), STG_E_ACCESSDENIED);
}

TEST_F(FileStreamOpen, ReachesPastFourGibibytesWith64BitOffsets)
{
    constexpr std::uint64_t kMarkerAt = (std::uint64_t{1} << 32) + 8;
    const std::filesystem::path file = folder_.Path() / "large.bin";
    hosttest::WriteFile(file, {});
    std::error_code error;
    std::filesystem::resize_file(file, kMarkerAt + 8, error);
    if (error)
        GTEST_SKIP() << "cannot make a file beyond 4 GiB here: " << error.message();
    {
        std::fstream writer(file, std::ios::in | std::ios::out | std::ios::binary);
        writer.seekp(static_cast<std::streamoff>(kMarkerAt));
        writer.write("MARKER!!", 8);
        ASSERT_TRUE(writer.good());
    }

    IStream* raw = nullptr;
    ASSERT_EQ(host::FileStream::Open(file, &raw), S_OK);
    const Owned<IStream> stream(raw);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize, kMarkerAt + 8);

    std::uint64_t position = 0;
    ASSERT_EQ(stream->Seek(-8, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, kMarkerAt);
    char marker[16] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(marker, sizeof marker, &read), S_FALSE);
    ASSERT_EQ(read, 8u);
    EXPECT_EQ(std::memcmp(marker, "MARKER!!", 8), 0);

    ASSERT_EQ(stream->Seek(static_cast<std::int64_t>(kMarkerAt) - 1, STREAM_SEEK_SET, nullptr),
              S_OK);
    EXPECT_EQ(stream->Read(marker, 2, &read), S_OK);
    EXPECT_EQ(marker[0], '\0');
    EXPECT_EQ(marker[1], 'M');
}

} // namespace
