// Reading list files through the host's storage, decoding their bytes, and
// cutting the text into lines and fields.
#include "MultiTrackTestSupport.h"

#include <multitrack/TextPieces.h>
#include <multitrack/TrackListFile.h>

#include <host/MemoryStorageProvider.h>
#include <host/ReadOnlyStream.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

using mttest::References;
using Text = std::optional<std::u16string>;

class ReadTextFileTest : public ::testing::Test {
protected:
    void TearDown() override { provider->Release(); }

    // Reads `bytes` as the file "list.mtrk": the text, or nullopt when the
    // read fails (then the text must have been emptied).
    Text Read(std::vector<std::uint8_t> bytes, host::StreamFaults faults = {})
    {
        provider->Add(u"list.mtrk", std::move(bytes), faults);
        std::u16string text = u"left over";
        if (ReadTextFile(provider, u"list.mtrk", text))
            return text;
        EXPECT_TRUE(text.empty());
        return std::nullopt;
    }

    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
};

TEST_F(ReadTextFileTest, DecodesUtf8AndUtf16LittleEndian)
{
    const std::pair<std::vector<std::uint8_t>, std::u16string> cases[] = {
        // UTF-8, with or without its byte-order mark (only the first goes).
        {{}, u""},
        {{'a', 'b', '\t', 'c'}, u"ab\tc"},
        {{0xEF, 0xBB, 0xBF, 'a'}, u"a"},
        {{0xEF, 0xBB, 0xBF}, u""},
        {{0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, u"\uFEFF"},
        {{0xC3, 0xA9, 0xE2, 0x82, 0xAC}, u"\u00E9\u20AC"},
        {{0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}, u"\u07FF\u0800\uFFFF"},
        {{0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80}, u"\uD7FF\uE000"}, // around the surrogates
        // One replacement each: overlong two- and three-byte forms, surrogates
        // in three-byte form, and four-, five- and six-byte forms, valid or not.
        {{0xC0, 0x80, 'a'}, u"\uFFFDa"},
        {{0xC1, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xE0, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        {{0xE0, 0x9F, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xED, 0xA0, 0x80, 'a'}, u"\uFFFDa"},
        {{0xED, 0xBF, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xF0, 0x9F, 0x8E, 0xB5, 'a'}, u"\uFFFDa"},
        {{0xF7, 0xBF, 0xBF, 0xBF, 'a'}, u"\uFFFDa"},
        {{0xF8, 0x88, 0x80, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        {{0xFC, 0x84, 0x80, 0x80, 0x80, 0x80, 'a'}, u"\uFFFDa"},
        // A bad continuation byte: the whole announced length is taken, whatever its bytes are.
        {{0xC3, 'A', 'B'}, u"\uFFFDB"},
        {{0xE2, 0x82, 'A', 'B'}, u"\uFFFDB"},
        {{0xF0, 'A', 'A', 'A', 'B'}, u"\uFFFDB"},
        {{0xE2, 0xC3, 0xA9, 'B'}, u"\uFFFDB"},
        // Bytes that cannot lead: FE, FF and stray continuation bytes, one replacement each.
        {{'a', 0xFE, 'b', 0xFF, 'c'}, u"a\uFFFDb\uFFFDc"},
        {{0x80, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        {{0xFF}, u"\uFFFD"},
        // A zero byte ends the text, also inside a sequence; so does a cut-off sequence.
        {{'a', 0x00, 'b'}, u"a"},
        {{0x00, 'b'}, u""},
        {{'a', 0xE2, 0x82}, u"a\uFFFD"},
        {{'a', 0xC3}, u"a\uFFFD"},
        {{'a', 0xF0, 0x9F, 0x8E}, u"a\uFFFD"},
        {{'a', 0xFC, 0x80, 0x80, 0x80, 0x80}, u"a\uFFFD"},
        {{'a', 0xE2, 0x00, 0x82, 'b'}, u"a\uFFFD"},
        {{'a', 0xC3, 0x00, 'b'}, u"a\uFFFD"},
        // UTF-16 little-endian after its mark; surrogates each become U+FFFD,
        // paired or not; a zero code unit ends the text, a zero byte does not;
        // an odd last byte becomes U+FFFD.
        {{0xFF, 0xFE}, u""},
        {{0xFF, 0xFE, 'a', 0, 0xE9, 0, 0xAC, 0x20}, u"a\u00E9\u20AC"},
        {{0xFF, 0xFE, 0xFF, 0xFE, 'a', 0}, u"\uFEFFa"},
        {{0xFF, 0xFE, 0x3C, 0xD8, 0xB5, 0xDF, 'a', 0}, u"\uFFFD\uFFFDa"},
        {{0xFF, 0xFE, 0x00, 0xDC, 'a', 0}, u"\uFFFDa"},
        {{0xFF, 0xFE, 0xFF, 0xDB, 'a', 0}, u"\uFFFDa"},
        {{0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0}, u"a"},
        {{0xFF, 0xFE, 0x00, 0x01}, u"\u0100"},
        {{0xFF, 0xFE, 'a', 0, 'b'}, u"a\uFFFD"},
        {{0xFF, 0xFE, 'a'}, u"\uFFFD"},
        // Without the little-endian mark it is UTF-8: big-endian's FE FF are
        // replaced, and the first zero byte ends it.
        {{0xFE, 0xFF, 0, 'a', 0, '\t', 0, 'b'}, u"\uFFFD\uFFFD"},
        {{'a', 0, '\t', 0, 'b', 0}, u"a"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Read(bytes), Text(text)) << "bytes " << testing::PrintToString(bytes);
}

// The size comes from Stat, or from seeking when Stat fails; one Read, and
// the text of the bytes it delivered; any failure fails the whole read.
TEST_F(ReadTextFileTest, ReadsWhatTheStorageDeliversOrFails)
{
    const std::vector<std::uint8_t> line = mttest::Bytes("a\tb.ogg\n");
    const struct {
        host::StreamFaults faults; // {failStat, failSeek, failReadsAt, maxBytesPerRead, failure}
        std::vector<std::uint8_t> bytes;
        Text text;
    } cases[] = {
        {{true, false, {}, 0, E_FAIL}, line, u"a\tb.ogg\n"},
        {{true, true, {}, 0, E_FAIL}, line, std::nullopt},
        {{false, true, {}, 0, E_FAIL}, line, u"a\tb.ogg\n"}, // seeking is not needed when Stat answers
        {{false, false, 0, 0, E_FAIL}, line, std::nullopt},
        {{false, false, 2, 0, STG_E_READFAULT}, line, std::nullopt}, // even after some bytes
        {{false, false, 0, 0, E_FAIL}, {}, u""},                     // an empty file is never read
        {{false, false, {}, 4, E_FAIL}, line, u"a\tb."},
        {{false, false, {}, 4, E_FAIL}, {'a', 'b', 'c', 0xE2, 0x82, 0xAC}, u"abc\uFFFD"}, // cut off by what arrived
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.bytes, c.faults), c.text) << "stat " << c.faults.failStat << ", seek " << c.faults.failSeek;

    // No storage, no path or a missing file fail too, and empty the text.
    const auto fails = [](HSSStorageProvider* storage, const char16_t* path) {
        std::u16string text = u"x";
        return !ReadTextFile(storage, path, text) && text.empty();
    };
    EXPECT_TRUE(fails(nullptr, u"list.mtrk") && fails(provider, nullptr) && fails(provider, u"missing.mtrk"));
}

// --- streams that the memory provider cannot imitate ---------------------

// A stream whose size, Stat, Seek and Read results are scripted, recording
// what it is asked; what a Read delivers does not depend on the position.
class ScriptedStream final : public host::ReadOnlyStream {
public:
    static ScriptedStream* Create() { return new ScriptedStream(); }
    HRESULT VY_STDCALL Stat(STATSTG* stat, DWORD flags) override
    {
        statFlags.push_back(flags);
        return FAILED(statResult) ? statResult : ReadOnlyStream::Stat(stat, flags);
    }

    std::uint64_t size = 0;
    std::vector<std::uint8_t> data; // what a Read delivers (at most)
    ULONG overstatedBytes = 0;      // added to the count Read reports
    HRESULT statResult = S_OK;
    std::optional<HRESULT> readResult; // otherwise S_OK, or S_FALSE when short
    std::vector<DWORD> statFlags;
    std::vector<ULONG> readSizes;

private:
    ScriptedStream() = default;
    std::uint64_t Size() const override { return size; }
    HRESULT MoveTo(std::uint64_t) override { return S_OK; }
    HRESULT ReadAtPosition(void* buffer, ULONG wanted, ULONG& count) override
    {
        readSizes.push_back(wanted);
        count = static_cast<ULONG>(std::min<std::size_t>(wanted, data.size()));
        std::memcpy(buffer, data.data(), count);
        count += overstatedBytes;
        return readResult.value_or(count == wanted ? S_OK : S_FALSE);
    }
};

// Hands out one stream (one new reference per open) with a chosen result.
class OneStreamProvider final : public host::ComObject<HSSStorageProvider> {
public:
    explicit OneStreamProvider(IStream* s) : stream(s) {}
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        if (stream)
            stream->AddRef();
        *out = stream;
        return result;
    }
    IStream* stream;
    HRESULT result = S_OK;
};

class ScriptedStreamTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        storage->Release();
        EXPECT_EQ(stream->Release(), 0u) << "the reader kept a reference on the stream";
    }
    Text Read()
    {
        std::u16string text = u"x";
        if (ReadTextFile(storage, u"list.mtrk", text))
            return text;
        EXPECT_TRUE(text.empty());
        return std::nullopt;
    }

    ScriptedStream* stream = ScriptedStream::Create();
    OneStreamProvider* storage = new OneStreamProvider(stream);
};

TEST_F(ScriptedStreamTest, SizeFromStatWithoutNameAndAShortReadKeepsWhatCame)
{
    stream->size = 10;
    stream->data = mttest::Bytes("a\tb\n");
    EXPECT_EQ(Read(), u"a\tb\n") << "S_FALSE: fewer bytes than asked, not a failure";
    EXPECT_EQ(stream->statFlags, std::vector<DWORD>{STATFLAG_NONAME});
    EXPECT_EQ(stream->readSizes, std::vector<ULONG>{10});
    stream->size = 4;
    stream->overstatedBytes = 1000;
    EXPECT_EQ(Read(), u"a\tb\n") << "a read count beyond the asked size is not believed";
    stream->readResult = STG_E_READFAULT;
    EXPECT_EQ(Read(), std::nullopt);
}

TEST_F(ScriptedStreamTest, SizesOfFourGigabytesAndMoreAreRefusedUnread)
{
    for (const std::uint64_t size : {5ull << 30, 1ull << 32}) {
        stream->size = size;
        EXPECT_EQ(Read(), std::nullopt);
        stream->statResult = E_FAIL; // the same size found by seeking
        EXPECT_EQ(Read(), std::nullopt);
        stream->statResult = S_OK;
    }
    EXPECT_TRUE(stream->readSizes.empty());
}

TEST_F(ScriptedStreamTest, TheStreamIsReleasedWhateverTheOpenAnswers)
{
    storage->result = STG_E_ACCESSDENIED; // a failure that still hands out a stream
    EXPECT_EQ(Read(), std::nullopt);
    EXPECT_EQ(References(stream), 1u);
    EXPECT_TRUE(stream->statFlags.empty());
    storage->result = S_FALSE; // success codes other than S_OK are success
    stream->size = 1;
    stream->data = mttest::Bytes("z");
    EXPECT_EQ(Read(), u"z");
    EXPECT_EQ(References(stream), 1u);
    storage->stream = nullptr; // success without a stream
    EXPECT_EQ(Read(), std::nullopt);
}

// --- lines and fields -------------------------------------------------------

using Pieces = std::vector<std::u16string>;

TEST(SplitLinesTest, LfAndCrLfEndingsBlankLinesAndTheFirstZero)
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
    EXPECT_EQ(SplitLines(std::u16string(u"a\nb\0c\nd", 7)), (Pieces{u"a", u"b"}));
}

TEST(SplitFieldsTest, EmptyPiecesAreDropped)
{
    EXPECT_EQ(SplitFields(u"", u'\t'), Pieces{});
    EXPECT_EQ(SplitFields(u"\t\t", u'\t'), Pieces{});
    EXPECT_EQ(SplitFields(u"abc", u'\t'), Pieces{u"abc"});
    EXPECT_EQ(SplitFields(u"\ta\t\tb c\t", u'\t'), (Pieces{u"a", u"b c"}));
    EXPECT_EQ(SplitFields(u"|x.opus||y.opus|id.mtrk", u'|'), (Pieces{u"x.opus", u"y.opus", u"id.mtrk"}));
}

} // namespace
