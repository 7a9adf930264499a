// The Read, Seek and Stat rules every host stream follows, checked on each
// kind of stream.
#include "HostTestSupport.h"

#include "host/FileStream.h"
#include "host/MemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using hosttest::Owned;

struct StreamKind {
    const char* name;
    // A stream over `bytes`, keeping any file it needs in `folder`.
    Owned<IStream> (*make)(const std::vector<std::uint8_t>& bytes,
                           const std::filesystem::path& folder);

    friend void PrintTo(const StreamKind& kind, std::ostream* out) { *out << kind.name; }
};

Owned<IStream> MakeFileStream(const std::vector<std::uint8_t>& bytes,
                              const std::filesystem::path& folder)
{
    const std::filesystem::path path = folder / "stream.bin";
    hosttest::WriteFile(path, bytes);
    IStream* stream = nullptr;
    EXPECT_EQ(host::FileStream::Open(path, &stream), S_OK);
    return Owned<IStream>(stream);
}

Owned<IStream> MakeMemoryStream(const std::vector<std::uint8_t>& bytes,
                                const std::filesystem::path&)
{
    return Owned<IStream>(host::MemoryStream::Create(bytes));
}

class ReadOnlyStreamTest : public ::testing::TestWithParam<StreamKind> {
protected:
    void SetUp() override
    {
        stream_ = GetParam().make(bytes_, folder_.Path());
        ASSERT_NE(stream_, nullptr);
    }

    // The stream's position, asked with a zero move.
    std::uint64_t Position()
    {
        std::uint64_t position = 12345;
        EXPECT_EQ(stream_->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
        return position;
    }

    // The byte read at the position (which advances), or -1 when none was.
    int NextByte()
    {
        std::uint8_t byte = 0;
        ULONG read = 0;
        const HRESULT result = stream_->Read(&byte, 1, &read);
        return result == S_OK && read == 1 ? byte : -1;
    }

    const std::vector<std::uint8_t> bytes_ = hosttest::Pattern(10000);
    hosttest::TempFolder folder_;
    Owned<IStream> stream_;
};

TEST_P(ReadOnlyStreamTest, ReadsTheBytesInOrderAndShortAtTheEnd)
{
    std::vector<std::uint8_t> head(4000);
    ULONG read = 0;
    ASSERT_EQ(stream_->Read(head.data(), 4000, &read), S_OK);
    EXPECT_EQ(read, 4000u);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes_.begin()));

    std::vector<std::uint8_t> tail(8000, 0xEE);
    ASSERT_EQ(stream_->Read(tail.data(), 8000, &read), S_FALSE);
    ASSERT_EQ(read, 6000u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 6000, bytes_.begin() + 4000));
    EXPECT_EQ(tail[6000], 0xEE) << "wrote past the bytes it read";

    EXPECT_EQ(stream_->Read(tail.data(), 1, &read), S_FALSE);
    EXPECT_EQ(read, 0u);
}

TEST_P(ReadOnlyStreamTest, ReadTakesANullCountAndRefusesANullBuffer)
{
    std::uint8_t two[2] = {};
    EXPECT_EQ(stream_->Read(two, 2, nullptr), S_OK);
    EXPECT_EQ(two[1], bytes_[1]);

    ULONG read = 99;
    EXPECT_EQ(stream_->Read(nullptr, 0, &read), S_OK);
    EXPECT_EQ(read, 0u);
    read = 99;
    EXPECT_EQ(stream_->Read(nullptr, 5, &read), E_INVALIDARG);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(Position(), 2u) << "a refused read moved the position";
}

TEST_P(ReadOnlyStreamTest, SeeksFromTheStartTheCurrentPositionAndTheEnd)
{
    std::uint64_t position = 0;
    ASSERT_EQ(stream_->Seek(300, STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position, 300u);
    EXPECT_EQ(NextByte(), bytes_[300]);

    ASSERT_EQ(stream_->Seek(-101, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position, 200u);
    EXPECT_EQ(NextByte(), bytes_[200]);

    ASSERT_EQ(stream_->Seek(-1, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, 9999u);
    EXPECT_EQ(NextByte(), bytes_[9999]);

    ASSERT_EQ(stream_->Seek(5, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(Position(), 5u);
}

TEST_P(ReadOnlyStreamTest, SeekingBeforeTheStartFailsAndKeepsThePosition)
{
    ASSERT_EQ(stream_->Seek(50, STREAM_SEEK_SET, nullptr), S_OK);
    std::uint64_t position = 777;
    EXPECT_EQ(stream_->Seek(-51, STREAM_SEEK_CUR, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream_->Seek(-10001, STREAM_SEEK_END, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream_->Seek(-1, STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream_->Seek(std::numeric_limits<std::int64_t>::min(), STREAM_SEEK_END, &position),
              STG_E_INVALIDFUNCTION);
    EXPECT_EQ(position, 777u) << "a failed seek stored a position";
    EXPECT_EQ(NextByte(), bytes_[50]);

    ASSERT_EQ(stream_->Seek(-51, STREAM_SEEK_CUR, &position), S_OK)
        << "the start itself is allowed";
    EXPECT_EQ(position, 0u);
}

TEST_P(ReadOnlyStreamTest, SeekRefusesAnUnknownOriginAndAPositionBeyondTheLargestOffset)
{
    ASSERT_EQ(stream_->Seek(7, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream_->Seek(0, 3, nullptr), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream_->Seek(std::numeric_limits<std::int64_t>::max(), STREAM_SEEK_CUR, nullptr),
              STG_E_INVALIDFUNCTION);
    EXPECT_EQ(NextByte(), bytes_[7]);
}

TEST_P(ReadOnlyStreamTest, ReadingPastTheEndGivesNothing)
{
    std::uint64_t position = 0;
    ASSERT_EQ(stream_->Seek(50, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, 10050u);
    std::uint8_t buffer[16] = {};
    ULONG read = 99;
    EXPECT_EQ(stream_->Read(buffer, sizeof buffer, &read), S_FALSE);
    EXPECT_EQ(read, 0u);

    ASSERT_EQ(stream_->Seek(-16, STREAM_SEEK_END, nullptr), S_OK);
    EXPECT_EQ(stream_->Read(buffer, sizeof buffer, &read), S_OK) << "coming back from past the end";
    EXPECT_EQ(buffer[15], bytes_[9999]);
}

TEST_P(ReadOnlyStreamTest, StatGivesTheSizeAndNoName)
{
    for (const DWORD flags : {STATFLAG_NONAME, STATFLAG_DEFAULT}) {
        STATSTG stat;
        std::memset(&stat, 0xAB, sizeof stat);
        ASSERT_EQ(stream_->Stat(&stat, flags), S_OK);
        EXPECT_EQ(stat.cbSize, 10000u);
        EXPECT_EQ(stat.type, STGTY_STREAM);
        EXPECT_EQ(stat.pwcsName, nullptr);
        EXPECT_EQ(stat.grfMode, 0u);
    }
    EXPECT_EQ(stream_->Stat(nullptr, STATFLAG_NONAME), E_INVALIDARG);
}

TEST_P(ReadOnlyStreamTest, RefusesEveryOtherOperation)
{
    ULONG written = 5;
    EXPECT_EQ(stream_->Write("x", 1, &written), E_NOTIMPL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(stream_->SetSize(1), E_NOTIMPL);
    std::uint64_t copiedIn = 5;
    std::uint64_t copiedOut = 5;
    EXPECT_EQ(stream_->CopyTo(nullptr, 1, &copiedIn, &copiedOut), E_NOTIMPL);
    EXPECT_EQ(copiedIn, 0u);
    EXPECT_EQ(copiedOut, 0u);
    EXPECT_EQ(stream_->Commit(0), E_NOTIMPL);
    EXPECT_EQ(stream_->Revert(), E_NOTIMPL);
    EXPECT_EQ(stream_->LockRegion(0, 1, 0), E_NOTIMPL);
    EXPECT_EQ(stream_->UnlockRegion(0, 1, 0), E_NOTIMPL);
    IStream* clone = stream_.get();
    EXPECT_EQ(stream_->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(NextByte(), bytes_[0]) << "a refused operation disturbed reading";
}

TEST_P(ReadOnlyStreamTest, AnswersTheStreamIdsAndNoOthers)
{
    for (const IID& iid : {IID_IUnknown, IID_ISequentialStream, IID_IStream}) {
        void* out = nullptr;
        ASSERT_EQ(stream_->QueryInterface(iid, &out), S_OK);
        EXPECT_EQ(out, stream_.get());
        EXPECT_EQ(static_cast<IStream*>(out)->Release(), 1u);
    }
    void* out = stream_.get();
    EXPECT_EQ(stream_->QueryInterface(IID_IHSSObject, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadOnlyStreamTest,
                         ::testing::Values(StreamKind{"File", MakeFileStream},
                                           StreamKind{"Memory", MakeMemoryStream}),
                         [](const ::testing::TestParamInfo<StreamKind>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
