#include <sound/StreamAdapter.h>

#include <vymultitrack/Stream.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A stream over a few bytes that records the seeks it receives and can be
// told to fail.
class RecordingStream final : public IStream {
public:
    explicit RecordingStream(std::vector<unsigned char> data) : bytes(std::move(data)) {}
    HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG VY_STDCALL AddRef() override { return 2; }
    ULONG VY_STDCALL Release() override { return 1; }
    HRESULT VY_STDCALL Read(void* buffer, ULONG size, ULONG* read) override
    {
        if (fail)
            return E_FAIL;
        const ULONG n = std::min<ULONG>(size, static_cast<ULONG>(bytes.size() - position));
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        if (read)
            *read = n;
        return n == size ? S_OK : S_FALSE;
    }
    HRESULT VY_STDCALL Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) override
    {
        lastOrigin = origin;
        if (fail)
            return E_FAIL;
        const std::int64_t base = origin == STREAM_SEEK_SET ? 0
                                  : origin == STREAM_SEEK_CUR ? static_cast<std::int64_t>(position)
                                                              : static_cast<std::int64_t>(bytes.size());
        if (base + move < 0)
            return E_FAIL;
        position = static_cast<std::size_t>(base + move);
        if (newPosition)
            *newPosition = position;
        return S_OK;
    }
    HRESULT VY_STDCALL SetSize(std::uint64_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CopyTo(IStream*, std::uint64_t, std::uint64_t*, std::uint64_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Revert() override { return E_NOTIMPL; }
    HRESULT VY_STDCALL LockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Clone(IStream**) override { return E_NOTIMPL; }

    std::vector<unsigned char> bytes;
    std::size_t position = 0;
    DWORD lastOrigin = 99;
    bool fail = false;
};

} // namespace

TEST(StreamAdapter, ReadsInBothFormsAndReportsWholeItems)
{
    RecordingStream stream({1, 2, 3, 4, 5, 6, 7});
    unsigned char buffer[8] = {};
    EXPECT_EQ(StreamAdapter::ReadBytes(&stream, buffer, 3), 3);
    EXPECT_EQ(buffer[2], 3);
    // Four bytes remain: one whole item of three, the partial one is not counted.
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 3, 2, &stream), 1u);
    EXPECT_EQ(StreamAdapter::ReadBytes(&stream, buffer, 8), 0) << "end of data";
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 0, 5, &stream), 0u) << "item size 0";
}

TEST(StreamAdapter, FailuresAndMissingStreamsReadNothing)
{
    RecordingStream stream({1, 2, 3});
    unsigned char buffer[4];
    stream.fail = true;
    EXPECT_EQ(StreamAdapter::ReadBytes(&stream, buffer, 3), 0);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, 3, &stream), 0u);
    EXPECT_EQ(StreamAdapter::Seek(&stream, 0, 0), -1);
    EXPECT_EQ(StreamAdapter::Tell(&stream), -1);
    EXPECT_EQ(StreamAdapter::ReadBytes(nullptr, buffer, 3), 0);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, 3, nullptr), 0u);
    EXPECT_EQ(StreamAdapter::Seek(nullptr, 0, 0), -1);
    EXPECT_EQ(StreamAdapter::Tell(nullptr), -1);
    EXPECT_EQ(StreamAdapter::TellLong(nullptr), -1);
}

TEST(StreamAdapter, SeekMapsWhenceToTheStreamOrigins)
{
    RecordingStream stream({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(StreamAdapter::Seek(&stream, 4, 0), 0);
    EXPECT_EQ(stream.lastOrigin, STREAM_SEEK_SET);
    EXPECT_EQ(StreamAdapter::Seek(&stream, 2, 1), 0);
    EXPECT_EQ(stream.lastOrigin, STREAM_SEEK_CUR);
    EXPECT_EQ(StreamAdapter::Tell(&stream), 6);
    EXPECT_EQ(StreamAdapter::Seek(&stream, -3, 2), 0);
    EXPECT_EQ(stream.lastOrigin, STREAM_SEEK_END);
    EXPECT_EQ(StreamAdapter::TellLong(&stream), 7);

    stream.lastOrigin = 99;
    EXPECT_EQ(StreamAdapter::Seek(&stream, 0, 3), -1);
    EXPECT_EQ(StreamAdapter::Seek(&stream, 0, -1), -1);
    EXPECT_EQ(stream.lastOrigin, 99u) << "an unknown whence never reaches the stream";
    EXPECT_EQ(StreamAdapter::Seek(&stream, -20, 1), -1) << "before the start";
    EXPECT_EQ(StreamAdapter::Tell(&stream), 7) << "a failed seek keeps the position";
    EXPECT_EQ(StreamAdapter::CloseNothing(&stream), 0);
}
