// The faults a memory stream can be told to show; its ordinary behaviour is
// checked in ReadOnlyStreamTest.
#include "HostTestSupport.h"

#include "host/MemoryStream.h"

#include <gtest/gtest.h>

namespace {

// Stat and Seek fail with the chosen code, only when told, leaving their
// outputs and the position. Reads deliver at most maxBytesPerRead bytes with
// S_OK and break at failReadsAt after delivering the bytes before it; at the
// end they answer S_FALSE whatever the faults.
TEST(MemoryStreamFaults, EachFaultShowsWhereItWasToldTo)
{
    const std::vector<std::uint8_t> bytes = hosttest::Pattern(100);
    struct Read {
        ULONG size;
        HRESULT result;
        ULONG count;
    };
    // {failStat, failSeek, failReadsAt, maxBytesPerRead, failure}, and the reads.
    const std::pair<host::StreamFaults, std::vector<Read>> cases[] = {
        {{true, false, {}, 0, STG_E_ACCESSDENIED}, {{100, S_OK, 100}}},
        {{false, true, {}, 0, E_FAIL}, {{2, S_OK, 2}, {1, S_OK, 1}}},
        {{false, false, {}, 40, E_FAIL}, {{10, S_OK, 10}, {64, S_OK, 40}, {64, S_OK, 40}, {64, S_FALSE, 10}}},
        {{false, false, 30, 0, STG_E_READFAULT}, {{20, S_OK, 20}, {20, STG_E_READFAULT, 10}, {1, STG_E_READFAULT, 0}}},
        {{false, false, 0, 0, E_FAIL}, {{1, E_FAIL, 0}}},
        {{false, false, 50, 40, E_FAIL}, {{64, S_OK, 40}, {64, E_FAIL, 10}}},
    };
    for (const auto& [faults, reads] : cases) {
        const hosttest::Owned<IStream> stream(host::MemoryStream::Create(bytes, faults));
        std::vector<std::uint8_t> gathered;
        std::uint8_t buffer[100];
        for (const Read& r : reads) {
            ULONG count = 99;
            EXPECT_EQ(stream->Read(buffer, r.size, &count), r.result) << r.size;
            EXPECT_EQ(count, r.count);
            gathered.insert(gathered.end(), buffer, buffer + std::min(count, r.size));
        }
        EXPECT_TRUE(std::equal(gathered.begin(), gathered.end(), bytes.begin()));
        STATSTG stat{};
        stat.cbSize = 42;
        EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), faults.failStat ? faults.failure : S_OK);
        EXPECT_EQ(stat.cbSize, faults.failStat ? 42u : 100u);
        std::uint64_t position = 9;
        EXPECT_EQ(stream->Seek(0, STREAM_SEEK_END, &position), faults.failSeek ? faults.failure : S_OK);
        EXPECT_EQ(position, faults.failSeek ? 9u : 100u);
        EXPECT_EQ(stream->Read(buffer, 1, nullptr), faults.failSeek ? S_OK : S_FALSE);
    }
}

} // namespace
