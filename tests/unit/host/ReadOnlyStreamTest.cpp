// The Read, Seek and Stat rules every host stream follows, checked on each
// kind of stream.
#include "HostTestSupport.h"

#include "host/FileStream.h"
#include "host/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

using hosttest::Owned;

class ReadOnlyStreamTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        IStream* stream = GetParam() ? nullptr : host::MemoryStream::Create(bytes_);
        hosttest::WriteFile(folder_.Path() / "stream.bin", bytes_);
        ASSERT_EQ(GetParam() ? host::FileStream::Open(folder_.Path() / "stream.bin", &stream) : S_OK, S_OK);
        stream_.reset(stream);
    }

    // The byte read at the position (which advances), or -1 when none was.
    int NextByte()
    {
        std::uint8_t byte = 0;
        ULONG read = 0;
        return stream_->Read(&byte, 1, &read) == S_OK && read == 1 ? byte : -1;
    }

    const std::vector<std::uint8_t> bytes_ = hosttest::Pattern(10000);
    hosttest::TempFolder folder_;
    Owned<IStream> stream_;
};

TEST_P(ReadOnlyStreamTest, ReadsInOrderShortAtTheEndAndSeeksFromTheStartThePositionAndTheEnd)
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

    // A null count is fine, a null buffer is refused unless nothing is asked.
    ASSERT_EQ(stream_->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream_->Read(head.data(), 2, nullptr), S_OK);
    read = 99;
    EXPECT_EQ(stream_->Read(nullptr, 0, &read), S_OK);
    EXPECT_EQ(stream_->Read(nullptr, 5, &read), E_INVALIDARG);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(NextByte(), bytes_[2]) << "a refused read moved the position";

    // Origin, move, the position it gives (-1: refused, the position stays).
    const std::tuple<DWORD, std::int64_t, std::int64_t> seeks[] = {
        {STREAM_SEEK_SET, 300, 300},     {STREAM_SEEK_CUR, -101, 199}, {STREAM_SEEK_END, -1, 9999},
        {STREAM_SEEK_SET, 50, 50},       {STREAM_SEEK_CUR, -51, -1},   {STREAM_SEEK_END, -10001, -1},
        {STREAM_SEEK_SET, -1, -1},       {STREAM_SEEK_END, std::numeric_limits<std::int64_t>::min(), -1},
        {3, 0, -1},                      {STREAM_SEEK_CUR, std::numeric_limits<std::int64_t>::max(), -1},
        {STREAM_SEEK_CUR, -50, 0},       {STREAM_SEEK_END, 50, 10050}, {STREAM_SEEK_END, -16, 9984}};
    std::int64_t at = 0;
    for (const auto& [origin, move, expected] : seeks) {
        SCOPED_TRACE(testing::Message() << "origin " << origin << ", move " << move);
        std::uint64_t position = 777;
        EXPECT_EQ(stream_->Seek(move, origin, &position), expected < 0 ? STG_E_INVALIDFUNCTION : S_OK);
        EXPECT_EQ(position, expected < 0 ? 777u : static_cast<std::uint64_t>(expected)) << "a failed seek stored a position";
        at = expected < 0 ? at : expected;
        // Reading past the end gives nothing; the byte there otherwise.
        EXPECT_EQ(NextByte(), at < 10000 ? bytes_[at] : -1);
        ASSERT_EQ(stream_->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
    }
}

TEST_P(ReadOnlyStreamTest, StatGivesTheSizeAndNoNameAndEveryOtherOperationIsRefused)
{
    for (const DWORD flags : {STATFLAG_NONAME, STATFLAG_DEFAULT}) {
        STATSTG stat;
        std::memset(&stat, 0xAB, sizeof stat);
        ASSERT_EQ(stream_->Stat(&stat, flags), S_OK);
        EXPECT_EQ(std::tuple(stat.cbSize, stat.type, stat.pwcsName, stat.grfMode), std::tuple(10000u, STGTY_STREAM, nullptr, 0u));
    }
    EXPECT_EQ(stream_->Stat(nullptr, STATFLAG_NONAME), E_INVALIDARG);

    ULONG written = 5;
    std::uint64_t copiedIn = 5, copiedOut = 5;
    IStream* clone = stream_.get();
    const HRESULT refused[] = {stream_->Write("x", 1, &written), stream_->SetSize(1),
                               stream_->CopyTo(nullptr, 1, &copiedIn, &copiedOut), stream_->Commit(0), stream_->Revert(),
                               stream_->LockRegion(0, 1, 0), stream_->UnlockRegion(0, 1, 0), stream_->Clone(&clone)};
    EXPECT_EQ(std::vector(std::begin(refused), std::end(refused)), std::vector<HRESULT>(8, E_NOTIMPL));
    EXPECT_EQ(std::tuple(written, copiedIn, copiedOut, clone), std::tuple(0u, 0u, 0u, nullptr)) << "out-parameters cleared";
    EXPECT_EQ(NextByte(), bytes_[0]) << "a refused operation disturbed reading";

    for (const IID& iid : {IID_IUnknown, IID_ISequentialStream, IID_IStream}) {
        void* out = nullptr;
        ASSERT_EQ(stream_->QueryInterface(iid, &out), S_OK);
        EXPECT_EQ(out, stream_.get());
        EXPECT_EQ(static_cast<IStream*>(out)->Release(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadOnlyStreamTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "File" : "Memory"; });

} // namespace
