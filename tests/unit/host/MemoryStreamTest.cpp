// The faults a memory stream can be told to show; its ordinary behaviour is
// checked in ReadOnlyStreamTest.
#include "HostTestSupport.h"

#include "host/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using hosttest::Owned;

const std::vector<std::uint8_t> kBytes = hosttest::Pattern(100);

Owned<IStream> Faulty(const host::StreamFaults& faults)
{
    return Owned<IStream>(host::MemoryStream::Create(kBytes, faults));
}

TEST(MemoryStreamFaults, StatFailsWithTheChosenCodeAndLeavesTheRecord)
{
    host::StreamFaults faults;
    faults.failStat = true;
    faults.failure = STG_E_ACCESSDENIED;
    const Owned<IStream> stream = Faulty(faults);
    STATSTG stat{};
    stat.cbSize = 42;
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), STG_E_ACCESSDENIED);
    EXPECT_EQ(stat.cbSize, 42u);
    std::uint64_t position = 0;
    EXPECT_EQ(stream->Seek(0, STREAM_SEEK_END, &position), S_OK) << "only Stat was to fail";
    EXPECT_EQ(position, 100u);
}

TEST(MemoryStreamFaults, EverySeekFailsAndThePositionStays)
{
    host::StreamFaults faults;
    faults.failSeek = true;
    const Owned<IStream> stream = Faulty(faults);
    std::uint8_t two[2] = {};
    ASSERT_EQ(stream->Read(two, 2, nullptr), S_OK);
    std::uint64_t position = 9;
    EXPECT_EQ(stream->Seek(0, STREAM_SEEK_CUR, &position), E_FAIL);
    EXPECT_EQ(stream->Seek(0, STREAM_SEEK_SET, &position), E_FAIL);
    EXPECT_EQ(stream->Seek(-1, STREAM_SEEK_END, &position), E_FAIL);
    EXPECT_EQ(position, 9u);
    ASSERT_EQ(stream->Read(two, 1, nullptr), S_OK);
    EXPECT_EQ(two[0], kBytes[2]);
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK) << "only Seek was to fail";
}

TEST(MemoryStreamFaults, ReadsBreakAtTheChosenOffsetAfterDeliveringTheBytesBeforeIt)
{
    host::StreamFaults faults;
    faults.failReadsAt = 30;
    faults.failure = STG_E_READFAULT;
    const Owned<IStream> stream = Faulty(faults);
    std::uint8_t buffer[50] = {};
    ULONG read = 0;
    ASSERT_EQ(stream->Read(buffer, 20, &read), S_OK);
    EXPECT_EQ(read, 20u);
    EXPECT_EQ(stream->Read(buffer, 20, &read), STG_E_READFAULT);
    ASSERT_EQ(read, 10u);
    EXPECT_EQ(std::memcmp(buffer, kBytes.data() + 20, 10), 0);
    EXPECT_EQ(stream->Read(buffer, 1, &read), STG_E_READFAULT);
    EXPECT_EQ(read, 0u);

    // The bytes before the offset stay readable.
    ASSERT_EQ(stream->Seek(25, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream->Read(buffer, 5, &read), S_OK);
    EXPECT_EQ(read, 5u);
}

TEST(MemoryStreamFaults, ReadsFailingFromTheStartStillEndWithSFalse)
{
    host::StreamFaults faults;
    faults.failReadsAt = 0;
    const Owned<IStream> stream = Faulty(faults);
    std::uint8_t byte = 0;
    ULONG read = 7;
    EXPECT_EQ(stream->Read(&byte, 1, &read), E_FAIL);
    EXPECT_EQ(read, 0u);
    ASSERT_EQ(stream->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    EXPECT_EQ(stream->Read(&byte, 1, &read), S_FALSE);
}

TEST(MemoryStreamFaults, ChunkedReadsDeliverFewerBytesWithSOkUntilTheEnd)
{
    host::StreamFaults faults;
    faults.maxBytesPerRead = 40;
    const Owned<IStream> stream = Faulty(faults);
    std::vector<std::uint8_t> gathered;
    std::uint8_t buffer[64] = {};
    std::vector<ULONG> counts;
    HRESULT result = S_OK;
    while (result == S_OK) {
        ULONG read = 0;
        result = stream->Read(buffer, sizeof buffer, &read);
        counts.push_back(read);
        gathered.insert(gathered.end(), buffer, buffer + read);
    }
    EXPECT_EQ(result, S_FALSE);
    EXPECT_EQ(counts, (std::vector<ULONG>{40, 40, 20}));
    EXPECT_EQ(gathered, kBytes);

    ASSERT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 10, &read), S_OK) << "a read within the limit is whole";
    EXPECT_EQ(read, 10u);
}

TEST(MemoryStreamFaults, ChunkingAndABreakTogetherStopAtTheBreak)
{
    host::StreamFaults faults;
    faults.failReadsAt = 50;
    faults.maxBytesPerRead = 40;
    const Owned<IStream> stream = Faulty(faults);
    std::uint8_t buffer[64] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
    EXPECT_EQ(read, 40u);
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), E_FAIL);
    EXPECT_EQ(read, 10u);
}

} // namespace
