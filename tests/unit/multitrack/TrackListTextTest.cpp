// The text of track lists: reading the file through the host's storage,
// decoding its bytes, cutting it into lines and fields, and reading the
// numbers and paths in the fields.
#include "MultiTrackTestSupport.h"

#include <multitrack/lists/NumberFields.h>
#include <multitrack/lists/PathPieces.h>
#include <multitrack/lists/TextPieces.h>
#include <multitrack/lists/TrackListEncoding.h>
#include <multitrack/lists/TrackListFile.h>

#include <host/ReadOnlyStream.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Text = std::optional<std::u16string>;
using Bytes = std::vector<std::uint8_t>;

// One row per rule of the decoder.
TEST(TrackListEncoding, DecodesUtf8AndUtf16LittleEndian)
{
    const std::pair<Bytes, std::u16string> rows[] = {
        {{}, u""}, {{'a', 'b', '\t', 'c'}, u"ab\tc"},
        {{0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, u"\uFEFF"}, // only the first mark goes
        {{0xC3, 0xA9, 0xE2, 0x82, 0xAC}, u"\u00E9\u20AC"},
        // The limits of the two- and three-byte forms and of the surrogates.
        {{0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80}, u"\u07FF\u0800\uFFFF\uD7FF\uE000"},
        // One replacement each: overlong forms, surrogates, and four-, five- and six-byte forms.
        {{0xC1, 0xBF, 0xE0, 0x9F, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        {{0xED, 0xA0, 0x80, 0xED, 0xBF, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        {{0xF0, 0x9F, 0x8E, 0xB5, 0xF7, 0xBF, 0xBF, 0xBF, 0xF8, 0x88, 0x80, 0x80, 0x80, 0xFC, 0x84, 0x80, 0x80, 0x80, 0x80, 'a'},
         u"\uFFFD\uFFFD\uFFFD\uFFFDa"},
        // A sequence broken by a byte that is not a continuation byte ends before it: one
        // replacement, and the byte is read again, so separators after Latin-1 text separate.
        {{0xC3, 'A', 'B', 0xE2, 0x82, 'A', 0xF0, 0x9F, 0x8E, 'B'}, u"\uFFFDAB\uFFFDA\uFFFDB"},
        {{0xE9, '\t', 'x', 0xE9, '\r', '\n', 0xE8, 0xE9, '\n'}, u"\uFFFD\tx\uFFFD\r\n\uFFFD\uFFFD\n"},
        {{'a', 0xFE, 'b', 0xFF, 0x80, 0xBF}, u"a\uFFFDb\uFFFD\uFFFD\uFFFD"}, // bytes that cannot lead
        // A zero byte ends the text, also inside a sequence; so does a cut-off sequence.
        {{'a', 0x00, 'b'}, u"a"}, {{'a', 0xE2, 0x00, 0x82, 'b'}, u"a\uFFFD"},
        {{'a', 0xE2, 0x82}, u"a\uFFFD"},
        // UTF-16 little-endian after its mark: surrogates become U+FFFD, paired or not; a zero code
        // unit ends the text, a zero byte does not; an odd last byte becomes U+FFFD.
        {{0xFF, 0xFE}, u""}, {{0xFF, 0xFE, 0xFF, 0xFE, 'a', 0, 0xE9, 0, 0xAC, 0x20}, u"\uFEFFa\u00E9\u20AC"},
        {{0xFF, 0xFE, 0x00, 0xD8, 0xFF, 0xDF, 0xFF, 0xD7, 0x00, 0xE0}, u"\uFFFD\uFFFD\uD7FF\uE000"},
        {{0xFF, 0xFE, 0x00, 0x01, 'a', 0, 0, 0, 'b', 0}, u"\u0100a"}, {{0xFF, 0xFE, 'a', 0, 'b'}, u"a\uFFFD"},
        // Without that mark it is UTF-8: big-endian's FE FF are replaced.
        {{0xFE, 0xFF, 0, 'a'}, u"\uFFFD\uFFFD"},
    };
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(DecodeTrackListText(bytes.data(), bytes.size()), text) << testing::PrintToString(bytes);
}

// ReadTextFile's text, or nullopt when it fails (then the text must have been emptied).
Text Read(HSSStorageProvider* storage, const char16_t* path)
{
    std::u16string text = u"left over";
    if (ReadTextFile(storage, path, text))
        return text;
    EXPECT_TRUE(text.empty());
    return std::nullopt;
}

// The size comes from Stat, or from seeking when Stat fails; one Read, and
// the text of the bytes it delivered; any failure fails the whole read.
TEST(ReadTextFile, ReadsWhatTheStorageDeliversOrFails)
{
    const Bytes line{'a', '\t', 'b', '.', 'o', 'g', 'g', '\n'};
    const struct {
        host::StreamFaults faults; // {failStat, failSeek, failReadsAt, maxBytesPerRead, failure}
        Bytes bytes;
        Text text;
    } rows[] = {
        // Seeking is not needed when Stat answers; a read fails even after some
        // bytes; an empty file gives no text; a short read keeps what came;
        // a file of one byte is read.
        {{true, false, {}, 0, E_FAIL}, line, u"a\tb.ogg\n"}, {{true, true, {}, 0, E_FAIL}, line, std::nullopt},
        {{false, true, {}, 0, E_FAIL}, line, u"a\tb.ogg\n"}, {{false, false, 2, 0, STG_E_READFAULT}, line, std::nullopt},
        {{false, false, 0, 0, E_FAIL}, {}, u""}, {{false, false, {}, 4, E_FAIL}, line, u"a\tb."}, {{}, {'a'}, u"a"},
    };
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    for (const auto& row : rows) {
        provider->Add(u"list.mtrk", row.bytes, row.faults);
        EXPECT_EQ(Read(provider, u"list.mtrk"), row.text) << "stat " << row.faults.failStat << ", seek " << row.faults.failSeek;
    }
    // No storage, no path or a missing file fail too.
    EXPECT_TRUE(!Read(nullptr, u"list.mtrk") && !Read(provider, nullptr) && !Read(provider, u"missing.mtrk"));
    provider->Release();
}

// A stream of `size` bytes whose one Read delivers "a\tb\n" and claims
// 1000 bytes more; the storage hands it out with `openResult`.
class ScriptedStream final : public host::ReadOnlyStream {
public:
    std::uint64_t size = 4;

private:
    std::uint64_t Size() const override { return size; }
    HRESULT MoveTo(std::uint64_t) override { return S_OK; }
    HRESULT ReadAtPosition(void* buffer, ULONG wanted, ULONG& count) override
    {
        std::memcpy(buffer, "a\tb\n", count = std::min<ULONG>(wanted, 4));
        count += 1000;
        return S_OK;
    }
};

class OneStreamProvider final : public vy::ComObject<HSSStorageProvider> {
public:
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        if ((*out = stream))
            stream->AddRef();
        return openResult;
    }
    IStream* stream = new ScriptedStream();
    HRESULT openResult = S_OK;
};

TEST(ReadTextFile, BelievesNoCountBeyondTheSizeRefusesFourGigabytesAndReleasesTheStream)
{
    auto* storage = new OneStreamProvider();
    auto* stream = static_cast<ScriptedStream*>(storage->stream);
    EXPECT_EQ(Read(storage, u"list"), u"a\tb\n");
    stream->size = 1ull << 32;
    EXPECT_EQ(Read(storage, u"list"), std::nullopt);
    stream->size = 4;
    storage->openResult = STG_E_ACCESSDENIED; // a failure that still hands out a stream
    EXPECT_EQ(Read(storage, u"list"), std::nullopt);
    storage->openResult = S_FALSE; // a success all the same
    EXPECT_EQ(Read(storage, u"list"), u"a\tb\n");
    storage->stream = nullptr; // success without a stream
    EXPECT_EQ(Read(storage, u"list"), std::nullopt);
    storage->Release();
    EXPECT_EQ(stream->Release(), 0u) << "the reader kept a reference on the stream";
}

using Pieces = std::vector<std::u16string>;

TEST(TextPieces, LinesAndFields)
{
    // A piece of carriage returns only is kept, emptied; inner carriage
    // returns stay; the last piece keeps its own; the first zero ends the text.
    const std::pair<std::u16string, Pieces> lines[] = {
        {u"", {}}, {u"a\r\nb\r\n", {u"a", u"b"}}, {u"\n\na\n\n\nb\n", {u"a", u"b"}}, {u"a\r\n\r\nb", {u"a", u"", u"b"}},
        {u"a\r\r\n", {u"a"}}, {u"a\rb\nc\r", {u"a\rb", u"c\r"}}, {std::u16string(u"a\nb\0c\nd", 7), {u"a", u"b"}},
    };
    for (const auto& [text, pieces] : lines) {
        Pieces texts;
        for (const TextLine& line : SplitLines(text))
            texts.push_back(line.text);
        EXPECT_EQ(texts, pieces) << vytext::ToUtf8(text);
    }
    const std::pair<std::u16string, Pieces> fields[] = {
        {u"\t\t", {}}, {u"abc", {u"abc"}}, {u"\ta\t\tb c\t", {u"a", u"b c"}}, {u"|x||y|", {u"|x||y|"}}};
    for (const auto& [line, pieces] : fields)
        EXPECT_EQ(SplitFields(line, u'\t'), pieces) << vytext::ToUtf8(line);
}

TEST(NumberFields, IntegersAsWcstolReadsThemInBaseTen)
{
    const std::pair<std::u16string, std::int32_t> rows[] = {
        // Only ASCII white space is skipped, and a full-width digit is no digit.
        {u"42", 42}, {u" \t\v\f\r\n-7x", -7}, {u"+5", 5}, {u"3.9", 3}, {u"", 0}, {u"abc", 0}, {u"-", 0}, {u"- 5", 0},
        {u"--5", 0}, {u"+-5", 0}, {u"0x10", 0}, {u"\u00A05", 0}, {u"\uFF11", 0}, {u"2147483647", 2147483647},
        {u"2147483648", 2147483647}, {u"99999999999999999999999", 2147483647}, {u"-2147483648", -2147483647 - 1},
        {u"-99999999999999999999999", -2147483647 - 1},
    };
    for (const auto& [field, value] : rows)
        EXPECT_EQ(ParseIntegerField(field), value) << vytext::ToUtf8(field);
}

TEST(NumberFields, VolumesAsWcstodReadsThemIntoADoubleThenAFloat)
{
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<std::u16string, float> rows[] = {
        {u" \t-1.25e1", -12.5f}, {u"+2", 2.0f}, {u".5", 0.5f}, {u"5.", 5.0f}, {u"1e+", 1.0f}, {u"2E-1x", 0.2f},
        {u"0.7dB", 0.7f}, {u"", 0.0f}, {u".", 0.0f}, {u"--5", 0.0f}, {u"-+5", 0.0f},
        {u"0x1.8p1", 3.0f}, {u"0X10", 16.0f}, {u"-0x.8", -0.5f}, {u"0x", 0.0f}, {u"0xg", 0.0f}, {u"0x-1", 0.0f},
        {u"1\uFF10", 1.0f}, {u"inf", inf}, {u"-INFINITY", -inf}, {u"Infinit", inf}, // a full-width digit ends it
        // Rounded once, as a double, then narrowed: 1 + 2^-24 + 10^-31 gives 1 (to even).
        {u"1.0000000596046447753906250000001", 1.0f},
        {u"3.40282356e38", std::numeric_limits<float>::max()}, {u"3.4028236e38", inf}, {u"-1e300", -inf},
        // Out of a double's range: the digits and the exponent tell which end.
        {u"1e400", inf}, {u"-1e400", -inf}, {u"1e-400", 0.0f}, {u"0x1p99999", inf}, {u"0x1p-99999", 0.0f},
        {u"1" + std::u16string(400, u'0'), inf}, {u"0." + std::u16string(400, u'0') + u"1", 0.0f},
        {u"1." + std::u16string(400, u'0') + u"e350", inf}, {u"0x." + std::u16string(400, u'0') + u"1p100", 0.0f},
        {u"0.00001e99999999999999999999", inf}, {u"0." + std::u16string(499, u'0') + u"1e900", inf},
    };
    for (const auto& [field, value] : rows)
        EXPECT_EQ(ParseFloatField(field), value) << vytext::ToUtf8(field);
    EXPECT_TRUE(std::signbit(ParseFloatField(u"-1e-400")));
    EXPECT_TRUE(std::isnan(ParseFloatField(u"nan")));
    EXPECT_TRUE(std::isnan(ParseFloatField(u"NaN(123)")));
}

// Rows: path, then "directory|file name|extension|stem" of it.
TEST(PathPieces, CutAtTheLastOfTheThreeSeparators)
{
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"music/bgm.mtrk", u"music/|bgm.mtrk|.mtrk|music/bgm"}, {u"a\\b/c\\d.ogg", u"a\\b/c\\|d.ogg|.ogg|a\\b/c\\d"},
        {u"data/pack.arc>loop", u"data/pack.arc>|loop||data/pack.arc>loop"}, {u"bgm.mtrk", u"|bgm.mtrk|.mtrk|bgm"},
        {u"dir/", u"dir/|||dir/"}, {u"a.tar.gz", u"|a.tar.gz|.gz|a.tar"}, {u"x/.ogg", u"x/|.ogg|.ogg|x/"},
        {u"x/name.", u"x/|name.|.|x/name"}, {u"Song.OGG", u"|Song.OGG|.OGG|Song"}, {u"a.b\\music", u"a.b\\|music||a.b\\music"},
    };
    for (const auto& [path, pieces] : rows)
        EXPECT_EQ(DirectoryOf(path) + u"|" + FileNameOf(path) + u"|" + ExtensionOf(path) + u"|" + StemOf(path), pieces);
}

} // namespace
