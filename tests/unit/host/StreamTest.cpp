// The Read, Seek and Stat rules the plug-in's readers rely on, on both
// kinds of host stream.
#include "HostTestSupport.h"

#include "host/FileStream.h"
#include "host/MemoryStream.h"

#include <limits>
#include <tuple>

namespace {

class StreamTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        IStream* raw = GetParam() ? nullptr : host::MemoryStream::Create(bytes);
        hosttest::WriteFile(folder.Path() / "stream.bin", bytes);
        ASSERT_EQ(GetParam() ? host::FileStream::Open(folder.Path() / "stream.bin", &raw) : S_OK, S_OK);
        stream.reset(raw);
    }

    // The byte read at the position (which advances), or -1 when none was.
    int NextByte()
    {
        std::uint8_t byte = 0;
        ULONG read = 0;
        return stream->Read(&byte, 1, &read) == S_OK && read == 1 ? byte : -1;
    }

    const std::vector<std::uint8_t> bytes = hosttest::Pattern(10000);
    hosttest::TempFolder folder;
    hosttest::Owned<IStream> stream;
};

// Reads deliver the bytes in order, short with S_FALSE at the end; seeks
// go from the start, the position or the end, and a refused one keeps the
// position; Stat gives the size.
TEST_P(StreamTest, ReadsInOrderSeeksFromEachOriginAndStatsItsSize)
{
    std::vector<std::uint8_t> read(12000, 0xEE);
    ULONG count = 0;
    ASSERT_EQ(stream->Read(read.data(), 4000, &count), S_OK);
    EXPECT_EQ(count, 4000u);
    ASSERT_EQ(stream->Read(read.data() + 4000, 8000, &count), S_FALSE);
    EXPECT_EQ(count, 6000u);
    EXPECT_EQ(std::vector(read.begin(), read.begin() + 10000), bytes);
    EXPECT_EQ(read[10000], 0xEE) << "wrote past the bytes it read";
    EXPECT_EQ(stream->Read(read.data(), 1, nullptr), S_FALSE) << "a null count is fine";

    // Origin, move, the position it gives (-1: refused, the position stays).
    const std::tuple<DWORD, std::int64_t, std::int64_t> seeks[] = {
        {STREAM_SEEK_SET, 300, 300}, {STREAM_SEEK_CUR, -101, 199}, {STREAM_SEEK_END, -1, 9999},
        {STREAM_SEEK_CUR, -10000, -1}, {STREAM_SEEK_SET, -1, -1}, {3, 0, -1},
        {STREAM_SEEK_END, 50, 10050}, {STREAM_SEEK_CUR, std::numeric_limits<std::int64_t>::max(), -1}};
    std::int64_t at = 0;
    for (const auto& [origin, move, expected] : seeks) {
        SCOPED_TRACE(testing::Message() << "origin " << origin << ", move " << move);
        std::uint64_t position = 777;
        EXPECT_EQ(stream->Seek(move, origin, &position), expected < 0 ? STG_E_INVALIDFUNCTION : S_OK);
        EXPECT_EQ(position, expected < 0 ? 777u : static_cast<std::uint64_t>(expected));
        at = expected < 0 ? at : expected;
        EXPECT_EQ(NextByte(), at < 10000 ? bytes[at] : -1) << "reading past the end gives nothing";
        ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
    }
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(std::tuple(stat.cbSize, stat.pwcsName), std::tuple(10000u, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Kinds, StreamTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "File" : "Memory"; });

} // namespace
