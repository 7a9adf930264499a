// Reading list files through the host's storage, decoding their bytes, and
// cutting the text into lines and fields.
#include "MultiTrackTestSupport.h"

#include <multitrack/TextPieces.h>
#include <multitrack/TrackListFile.h>

#include <host/MemoryStorageProvider.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

using mttest::References;

class ReadTextFileTest : public ::testing::Test {
protected:
    void SetUp() override { provider = host::MemoryStorageProvider::Create(); }
    void TearDown() override { provider->Release(); }

    // Reads `bytes` as the file "list.mtrk"; the text, or nullopt when the
    // read fails (then the text must have been emptied).
    std::optional<std::u16string> Read(std::vector<std::uint8_t> bytes,
                                       host::StreamFaults faults = {})
    {
        provider->Add(u"list.mtrk", std::move(bytes), faults);
        std::u16string text = u"left over";
        if (ReadTextFile(provider, u"list.mtrk", text))
            return text;
        EXPECT_TRUE(text.empty());
        return std::nullopt;
    }

    struct Case {
        std::vector<std::uint8_t> bytes;
        std::u16string text;
    };

    void ExpectDecodes(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            std::string shown;
            for (std::uint8_t b : c.bytes)
                shown.append(" ").append(std::to_string(b));
            EXPECT_EQ(Read(c.bytes), std::optional<std::u16string>(c.text)) << "bytes:" << shown;
        }
    }

    host::MemoryStorageProvider* provider = nullptr;
};

TEST_F(ReadTextFileTest, Utf8WithAndWithoutByteOrderMark)
{
    ExpectDecodes({
        {{}, u""},
        {{'a', 'b', '\t', 'c'}, u"ab\tc"},
        {{0xEF, 0xBB, 0xBF, 'a'}, u"a"},
        {{0xEF, 0xBB, 0xBF}, u""},
        {{0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, u"\uFEFF"}, // only the first mark goes
        {{0xC3, 0xA9, 0xE2, 0x82, 0xAC}, u"\u00E9\u20AC"},
        {{0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}, u"\u07FF\u0800\uFFFF"},
        {{0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80}, u"\uD7FF\uE000"}, // around the surrogates
    });
}

TEST_F(ReadTextFileTest, Utf8FormsThatGiveOneReplacementEach)
{
    ExpectDecodes({
        // Overlong two- and three-byte forms.
        {{0xC0, 0x80, 'a'}, u"\uFFFDa"},
        {{0xC1, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xE0, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        {{0xE0, 0x9F, 0xBF, 'a'}, u"\uFFFDa"},
        // Surrogates in three-byte form.
        {{0xED, 0xA0, 0x80, 'a'}, u"\uFFFDa"},
        {{0xED, 0xBF, 0xBF, 'a'}, u"\uFFFDa"},
        // Four-, five- and six-byte forms, valid or not.
        {{0xF0, 0x9F, 0x8E, 0xB5, 'a'}, u"\uFFFDa"},
        {{0xF7, 0xBF, 0xBF, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xF8, 0x88, 0x80, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        {{0xFC, 0x84, 0x80, 0x80, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        // A bad continuation byte: the whole announced
        // length is taken, whatever its bytes are.
        {{0xC3, 'A', 'B'}, u"\uFFFDB"},
        {{0xE2, 0x82, 'A', 'B'}, u"\uFFFDB"},
        {{0xF0, 'A', 'A', 'A', 'B'}, u"\uFFFDB"},
        {{0xE2, 0xC3, 0xA9, 'B'}, u"\uFFFDB"},
        // Bytes that cannot lead: FE, FF and stray
        // continuation bytes, one replacement each.
        {{'a', 0xFE, 'b', 0xFF, 'c'}, u"a\uFFFDb\uFFFDc"},
        {{0x80, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        {{0xFF}, u"\uFFFD"},
    });
}

TEST_F(ReadTextFileTest, Utf8EndsAtZeroByteAndAtCutOffSequence)
{
    ExpectDecodes({
        {{'a', 0x00, 'b'}, u"a"},
        {{0x00, 'b'}, u""},
        {{'a', 0xE2, 0x82}, u"a\uFFFD"},
        {{'a', 0xC3}, u"a\uFFFD"},
        {{'a', 0xF0, 0x9F, 0x8E}, u"a\uFFFD"},
        {{'a', 0xFC, 0x80, 0x80, 0x80, 0x80}, u"a\uFFFD"},
        // A zero byte inside a sequence cuts it off too.
        {{'a', 0xE2, 0x00, 0x82, 'b'}, u"a\uFFFD"},
        {{'a', 0xC3, 0x00, 'b'}, u"a\uFFFD"},
    });
}

TEST_F(ReadTextFileTest, Utf16LittleEndianAfterItsByteOrderMark)
{
    ExpectDecodes({
        {{0xFF, 0xFE}, u""},
        {{0xFF, 0xFE, 'a', 0, 0xE9, 0, 0xAC, 0x20}, u"a\u00E9\u20AC"},
        {{0xFF, 0xFE, 0xFF, 0xFE, 'a', 0}, u"\uFEFFa"},
        // Surrogates each become U+FFFD, paired or not.
        {{0xFF, 0xFE, 0x3C, 0xD8, 0xB5, 0xDF, 'a', 0}, u"\uFFFD\uFFFDa"},
        {{0xFF, 0xFE, 0x00, 0xDC, 'a', 0}, u"\uFFFDa"},
        {{0xFF, 0xFE, 0xFF, 0xDB, 'a', 0}, u"\uFFFDa"},
        // A zero code unit ends the text; a zero byte does not.
        {{0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0}, u"a"},
        {{0xFF, 0xFE, 0x00, 0x01}, u"\u0100"},
        // An odd last byte becomes U+FFFD.
        {{0xFF, 0xFE, 'a', 0, 'b'}, u"a\uFFFD"},
        {{0xFF, 0xFE, 'a'}, u"\uFFFD"},
    });
}

TEST_F(ReadTextFileTest, Utf16WithoutLittleEndianMarkReadsAsUtf8AndStopsAtFirstZero)
{
    // Big-endian with its mark: FE and FF are replaced, then 00 ends it.
    EXPECT_EQ(Read({0xFE, 0xFF, 0, 'a', 0, '\t', 0, 'b'}), u"\uFFFD\uFFFD");
    // Little-endian without a mark: the first character survives.
    EXPECT_EQ(Read({'a', 0, '\t', 0, 'b', 0}), u"a");
}

TEST_F(ReadTextFileTest, StatFailureFallsBackToSeekingAndSeekFailureFails)
{
    host::StreamFaults noStat;
    noStat.failStat = true;
    EXPECT_EQ(Read(mttest::Bytes("a\tb.ogg\n"), noStat), u"a\tb.ogg\n");

    host::StreamFaults noStatNoSeek = noStat;
    noStatNoSeek.failSeek = true;
    EXPECT_EQ(Read(mttest::Bytes("a\tb.ogg\n"), noStatNoSeek), std::nullopt);

    // Seeking is not needed when Stat answers.
    host::StreamFaults noSeek;
    noSeek.failSeek = true;
    EXPECT_EQ(Read(mttest::Bytes("a\tb.ogg\n"), noSeek), u"a\tb.ogg\n");
}

TEST_F(ReadTextFileTest, ReadFailureFailsEvenAfterSomeBytes)
{
    host::StreamFaults everyRead;
    everyRead.failReadsAt = 0;
    EXPECT_EQ(Read(mttest::Bytes("abc"), everyRead), std::nullopt);

    host::StreamFaults midway;
    midway.failReadsAt = 2;
    midway.failure = STG_E_READFAULT;
    EXPECT_EQ(Read(mttest::Bytes("abcdef"), midway), std::nullopt);

    // An empty file is never read, so it cannot fail.
    EXPECT_EQ(Read({}, everyRead), u"");
}

TEST_F(ReadTextFileTest, OneReadAndTheBytesItDelivered)
{
    host::StreamFaults chunked;
    chunked.maxBytesPerRead = 4;
    EXPECT_EQ(Read(mttest::Bytes("abcdefgh"), chunked), u"abcd");
    // A sequence cut off by the end of what arrived.
    EXPECT_EQ(Read({'a', 'b', 'c', 0xE2, 0x82, 0xAC}, chunked), u"abc\uFFFD");
}

TEST_F(ReadTextFileTest, NoStorageNoPathOrMissingFileFail)
{
    std::u16string text = u"x";
    EXPECT_FALSE(ReadTextFile(nullptr, u"list.mtrk", text));
    EXPECT_TRUE(text.empty());
    text = u"x";
    EXPECT_FALSE(ReadTextFile(provider, nullptr, text));
    EXPECT_TRUE(text.empty());
    text = u"x";
    EXPECT_FALSE(ReadTextFile(provider, u"missing.mtrk", text));
    EXPECT_TRUE(text.empty());
}

// --- streams that the memory provider cannot imitate ---------------------

// A stream whose size, seeking and reading are scripted, recording what it
// is asked.
class ScriptedStream final : public host::ComObject<IStream, IID_ISequentialStream, IID_IStream> {
public:
    static ScriptedStream* Create() { return new ScriptedStream(); }

    HRESULT VY_STDCALL Read(void* buffer, ULONG size, ULONG* read) override
    {
        readSizes.push_back(size);
        const auto count = static_cast<ULONG>(std::min<std::size_t>(size, data.size()));
        std::memcpy(buffer, data.data(), count);
        if (read)
            *read = count + overstatedBytes;
        return readResult ? *readResult : (count == size ? S_OK : S_FALSE);
    }
    HRESULT VY_STDCALL Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) override
    {
        seeks.emplace_back(move, origin);
        if (FAILED(seekResult))
            return seekResult;
        const std::uint64_t base = origin == STREAM_SEEK_SET   ? 0
                                   : origin == STREAM_SEEK_CUR ? position
                                                               : size;
        position = base + static_cast<std::uint64_t>(move);
        if (newPosition)
            *newPosition = position;
        return S_OK;
    }
    HRESULT VY_STDCALL Stat(STATSTG* stat, DWORD flags) override
    {
        statFlags.push_back(flags);
        if (FAILED(statResult))
            return statResult;
        *stat = STATSTG{};
        stat->cbSize = size;
        return statResult;
    }
    HRESULT VY_STDCALL Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL SetSize(std::uint64_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CopyTo(IStream*, std::uint64_t, std::uint64_t*, std::uint64_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT VY_STDCALL Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Revert() override { return E_NOTIMPL; }
    HRESULT VY_STDCALL LockRegion(std::uint64_t, std::uint64_t, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT VY_STDCALL UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT VY_STDCALL Clone(IStream**) override { return E_NOTIMPL; }

    std::uint64_t size = 0; // what Stat and the end of the stream report
    std::uint64_t position = 0;
    std::vector<std::uint8_t> data; // what a Read delivers (at most)
    ULONG overstatedBytes = 0;      // added to the count Read reports
    HRESULT statResult = S_OK;
    HRESULT seekResult = S_OK;
    std::optional<HRESULT> readResult; // otherwise S_OK, or S_FALSE when short
    std::vector<DWORD> statFlags;
    std::vector<std::pair<std::int64_t, DWORD>> seeks;
    std::vector<ULONG> readSizes;

private:
    ScriptedStream() = default;
    ~ScriptedStream() override = default;
};

// Hands out one stream (one new reference per open) with a chosen result.
class OneStreamProvider final : public host::ComObject<HSSStorageProvider> {
public:
    static OneStreamProvider* Create(IStream* s) { return new OneStreamProvider(s); }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        if (stream)
            stream->AddRef();
        *out = stream;
        return result;
    }
    IStream* stream;
    HRESULT result = S_OK;

private:
    explicit OneStreamProvider(IStream* s) : stream(s) {}
    ~OneStreamProvider() override = default;
};

class ScriptedStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stream = ScriptedStream::Create();
        storage = OneStreamProvider::Create(stream);
    }
    void TearDown() override
    {
        storage->Release();
        EXPECT_EQ(stream->Release(), 0u) << "the reader kept a reference on the stream";
    }

    bool Read(std::u16string& text) { return ReadTextFile(storage, u"list.mtrk", text); }

    ScriptedStream* stream = nullptr;
    OneStreamProvider* storage = nullptr;
};

constexpr std::uint64_t kFiveGigabytes = 5ull << 30;

TEST_F(ScriptedStreamTest, SizeFromStatWithoutName)
{
    stream->size = 3;
    stream->data = mttest::Bytes("a\tb");
    std::u16string text;
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(text, u"a\tb");
    EXPECT_EQ(stream->statFlags, std::vector<DWORD>{STATFLAG_NONAME});
    EXPECT_TRUE(stream->seeks.empty());
    EXPECT_EQ(stream->readSizes, std::vector<ULONG>{3});
}

TEST_F(ScriptedStreamTest, SeekRoundTripReturnsToTheLearnedPosition)
{
    stream->statResult = E_NOTIMPL;
    stream->size = 4;
    stream->position = 2;
    stream->data = mttest::Bytes("abcd");
    std::u16string text;
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(text, u"abcd");
    const std::vector<std::pair<std::int64_t, DWORD>> expected{
        {0, STREAM_SEEK_CUR}, {0, STREAM_SEEK_END}, {2, STREAM_SEEK_SET}};
    EXPECT_EQ(stream->seeks, expected);
    EXPECT_EQ(stream->readSizes, std::vector<ULONG>{4});
}

TEST_F(ScriptedStreamTest, SizesOfFourGigabytesAndMoreAreRefusedUnread)
{
    std::u16string text = u"x";
    stream->size = kFiveGigabytes;
    EXPECT_FALSE(Read(text));
    EXPECT_TRUE(text.empty());

    stream->size = 1ull << 32;
    EXPECT_FALSE(Read(text));

    stream->statResult = E_FAIL; // the same size found by seeking
    stream->size = kFiveGigabytes;
    EXPECT_FALSE(Read(text));
    EXPECT_EQ(stream->seeks.size(), 3u);
    EXPECT_TRUE(stream->readSizes.empty());
}

TEST_F(ScriptedStreamTest, ShortReadAtTheEndKeepsTheBytesThatCame)
{
    stream->size = 10;
    stream->data = mttest::Bytes("a\tb\n");
    std::u16string text;
    ASSERT_TRUE(Read(text)); // S_FALSE: fewer bytes than asked, not a failure
    EXPECT_EQ(text, u"a\tb\n");

    stream->readResult = STG_E_READFAULT;
    EXPECT_FALSE(Read(text));
    EXPECT_TRUE(text.empty());
}

TEST_F(ScriptedStreamTest, ReadCountBeyondTheAskedSizeIsNotBelieved)
{
    stream->size = 3;
    stream->data = mttest::Bytes("abc");
    stream->overstatedBytes = 1000;
    std::u16string text;
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(text, u"abc");
}

TEST_F(ScriptedStreamTest, EmptyStreamIsNotRead)
{
    std::u16string text = u"x";
    ASSERT_TRUE(Read(text));
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(stream->readSizes.empty());
}

TEST_F(ScriptedStreamTest, StreamIsReleasedWhateverTheOpenAnswers)
{
    std::u16string text;
    storage->result = STG_E_ACCESSDENIED; // a failure that still hands out a stream
    EXPECT_FALSE(Read(text));
    EXPECT_EQ(References(stream), 1u);
    EXPECT_TRUE(stream->statFlags.empty());

    storage->result = S_FALSE; // success codes other than S_OK are success
    stream->size = 1;
    stream->data = mttest::Bytes("z");
    EXPECT_TRUE(Read(text));
    EXPECT_EQ(text, u"z");
    EXPECT_EQ(References(stream), 1u);
}

TEST(ReadTextFileNullStream, SuccessWithoutStreamFails)
{
    OneStreamProvider* storage = OneStreamProvider::Create(nullptr);
    std::u16string text = u"x";
    EXPECT_FALSE(ReadTextFile(storage, u"list.mtrk", text));
    EXPECT_TRUE(text.empty());
    storage->Release();
}

// --- lines and fields -------------------------------------------------------

using Pieces = std::vector<std::u16string>;

TEST(SplitLinesTest, LfAndCrLfEndingsAndBlankLines)
{
    EXPECT_EQ(SplitLines(u""), Pieces{});
    EXPECT_EQ(SplitLines(u"a\nb"), (Pieces{u"a", u"b"}));
    EXPECT_EQ(SplitLines(u"a\r\nb\r\n"), (Pieces{u"a", u"b"}));
    EXPECT_EQ(SplitLines(u"\n\na\n\n\nb\n"), (Pieces{u"a", u"b"}));
    // A piece of carriage returns only is kept, emptied.
    EXPECT_EQ(SplitLines(u"a\r\n\r\nb"), (Pieces{u"a", u"", u"b"}));
    EXPECT_EQ(SplitLines(u"a\r\r\n"), (Pieces{u"a"}));
    // Inner carriage returns stay; the last piece keeps its own.
    EXPECT_EQ(SplitLines(u"a\rb\nc\r"), (Pieces{u"a\rb", u"c\r"}));
    EXPECT_EQ(SplitLines(u"\r"), (Pieces{u"\r"}));
}

TEST(SplitLinesTest, TextEndsAtFirstZero)
{
    const std::u16string text(u"a\nb\0c\nd", 7);
    EXPECT_EQ(SplitLines(text), (Pieces{u"a", u"b"}));
}

TEST(SplitFieldsTest, EmptyPiecesAreDropped)
{
    EXPECT_EQ(SplitFields(u"", u'\t'), Pieces{});
    EXPECT_EQ(SplitFields(u"\t\t", u'\t'), Pieces{});
    EXPECT_EQ(SplitFields(u"abc", u'\t'), Pieces{u"abc"});
    EXPECT_EQ(SplitFields(u"\ta\t\tb c\t", u'\t'), (Pieces{u"a", u"b c"}));
    EXPECT_EQ(SplitFields(u"|x.opus||y.opus|id.mtrk", u'|'),
              (Pieces{u"x.opus", u"y.opus", u"id.mtrk"}));
    EXPECT_EQ(SplitFields(u"|a.mtrk", u'|'), Pieces{u"a.mtrk"});
}

} // namespace
