// Opening files as streams; what every stream does once open is checked in
// ReadOnlyStreamTest.
#include "HostTestSupport.h"

#include "host/FileStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <system_error>

namespace {

// Missing files and folders are told apart through the storage provider's
// names (FileStorageProviderTest); a file without read permission is refused.
TEST(FileStreamOpen, RefusesAFileWithoutReadPermission)
{
    hosttest::TempFolder folder;
    const std::filesystem::path file = folder.Path() / "locked.bin";
    hosttest::WriteFile(file, hosttest::Pattern(3));
    IStream* stream = reinterpret_cast<IStream*>(&folder); // not null, so that a failure has to clear it
    EXPECT_EQ(host::FileStream::Open(file, nullptr), E_INVALIDARG);
    if (!hosttest::LockOut(file))
        GTEST_SKIP() << "permission bits do not stop this user from reading";
    EXPECT_EQ(host::FileStream::Open(file, &stream), STG_E_ACCESSDENIED);
    EXPECT_EQ(stream, nullptr);
}

TEST(FileStreamOpen, ReachesPastFourGibibytesWith64BitOffsets)
{
    constexpr std::uint64_t kMarkerAt = (std::uint64_t{1} << 32) + 8;
    hosttest::TempFolder folder;
    const std::filesystem::path file = folder.Path() / "large.bin";
    hosttest::WriteFile(file, {});
    std::error_code error;
    std::filesystem::resize_file(file, kMarkerAt + 8, error);
    if (error)
        GTEST_SKIP() << "cannot make a file beyond 4 GiB here: " << error.message();
    std::ofstream(file, std::ios::binary | std::ios::in).seekp(static_cast<std::streamoff>(kMarkerAt)).write("MARKER!!", 8);
    IStream* raw = nullptr;
    ASSERT_EQ(host::FileStream::Open(file, &raw), S_OK);
    const hosttest::Owned<IStream> stream(raw);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize, kMarkerAt + 8);
    std::uint64_t position = 0;
    ASSERT_EQ(stream->Seek(-9, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, kMarkerAt - 1);
    char marker[16] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(marker, sizeof marker, &read), S_FALSE);
    EXPECT_EQ(std::string(marker, read), std::string("\0MARKER!!", 9));
}

} // namespace
