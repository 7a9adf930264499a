// The own Ogg Opus reader against opusfile where both play, on chained and
// multiplexed streams, and on damaged input.
#include "DecoderTestSupport.h"

#include <ogg/ogg.h>

#include <cstring>
#include <functional>
#include <random>

using enum OpusDecodingPath;

namespace {

// Calls `edit(pageIndex, page)` for each page of `bytes` in order, the page
// pointing into `bytes`; when it answers true the page's checksum is set anew.
void EditOggPages(Bytes& bytes, const std::function<bool(int, ogg_page&)>& edit)
{
    for (std::size_t at = 0, index = 0; at + 27 <= bytes.size() && std::memcmp(&bytes[at], "OggS", 4) == 0; ++index) {
        ogg_page page{&bytes[at], 27 + bytes[at + 26], nullptr, 0};
        for (long s = 0; s < bytes[at + 26]; ++s)
            page.body_len += bytes[at + 27 + s];
        page.body = page.header + page.header_len;
        if (edit(static_cast<int>(index), page))
            ogg_page_checksum_set(&page);
        at += static_cast<std::size_t>(page.header_len + page.body_len);
    }
}

// The offsets of the pages of `bytes`, and its size last.
std::vector<std::size_t> PageBounds(Bytes bytes)
{
    std::vector<std::size_t> bounds;
    EditOggPages(bytes, [&](int, ogg_page& page) { return bounds.push_back(page.header - bytes.data()), false; });
    bounds.push_back(bytes.size());
    return bounds;
}

Bytes Chained(Bytes a, const Bytes& b)
{
    return a.insert(a.end(), b.begin(), b.end()), a;
}

// Stereo clicks in a link of serial 2 whose layout (family 0) and header gain
// differ from those of TonesFile: a decoder is made anew for it.
Bytes SecondLink()
{
    testaudio::OpusOptions options;
    options.serialNumber = 2;
    options.headerGainQ8 = -512;
    options.mappingFamily = 0;
    options.maxPageDuration = 4800;
    return testaudio::EncodeOpus(testaudio::Synthesize(ClickSpec(20000, {10000}, 2)), 2, 48000, options);
}

} // namespace

using OpusOwnReaderTest = BuiltinDecoderTest;

// The files have a header gain and loudness tags; the malformed ones' first
// valid tag of each name counts and their out-of-range album tag counts as
// none. Their ends are trimmed inside a packet; the last is two chained links.
TEST_F(OpusOwnReaderTest, DecodesAsOpusfileDoesBitForBitInEveryGainMode)
{
    // Whether a gain query is set, and its mode and gain in dB.
    const std::tuple<bool, std::int32_t, float> gains[] = {
        {false, 0, 0.0f}, {true, kGainModeNone, -6.5f}, {true, kGainModeTrack, -6.5f}, {true, kGainModeAlbum, 2.25f},
        {true, kGainModeNoAnswer, 9.0f}, {true, kGainModeTrack, 200.0f}, {true, kGainModeAlbum, -300.0f}};
    std::vector<std::pair<std::uint32_t, Bytes>> files;
    for (const auto& [channels, family, malformedTags] : {std::tuple{1u, 0, false}, {1u, 1, false}, {2u, 0, false},
                                                          {2u, 1, false}, {8u, 1, false}, {2u, 1, true}}) {
        testaudio::OpusOptions options;
        options.mappingFamily = family;
        options.headerGainQ8 = -700;
        options.comments = {{"R128_TRACK_GAIN", "1100"}, {"R128_ALBUM_GAIN", "-2300"}};
        if (malformedTags)
            options.comments = {{"R128_TRACK_GAIN", "1.5"}, {"r128_track_gain", "+0300"}, {"R128_ALBUM_GAIN", "40000"}};
        files.emplace_back(channels, TonesFile(channels, 24000 + 123, options));
    }
    files.emplace_back(2, Chained(files[3].second, SecondLink()));
    for (const auto& [channels, bytes] : files) {
        SCOPED_TRACE(testing::Message() << "file " << &bytes - &files[0].second);
        std::vector<std::vector<float>> outputs;
        for (const auto& [withQuery, mode, db] : gains) {
            SCOPED_TRACE(testing::Message() << "gain mode " << mode << " " << db << " dB");
            ScriptedGainQuery query(mode, db);
            TheProcessState().opusGainQuery = withQuery ? &query : nullptr;
            const Decoder opusfile = OpenOpus(Automatic, u"same.opus", bytes), own = OpenOpus(OwnReader, u"same.opus", bytes);
            TheProcessState().opusGainQuery = nullptr;
            ASSERT_TRUE(opusfile && own);
            const HSSWaveFormat formats[] = {FormatOf(opusfile.get()), FormatOf(own.get())};
            EXPECT_EQ(std::memcmp(&formats[0], &formats[1], sizeof formats[0]), 0) << "the format records differ";
            // Blocks of 1000 frames split packets between calls.
            outputs.push_back(DecodeAll(own.get(), channels));
            ASSERT_EQ(outputs.back().size(), formats[0].totalSamples * channels);
            EXPECT_EQ(DecodeAll(opusfile.get(), channels, 4096), outputs.back()) << "the own reader decodes other samples";
        }
        EXPECT_NE(outputs[1], outputs[2]) << "the gains changed the output, so the comparison covered them";
        EXPECT_NE(outputs[2], outputs[3]);
    }
}

// A seek into the second of two chained links lands on its click; a link of
// another channel count ends the stream; of two multiplexed streams the first
// Opus stream plays; an unseekable stream fed in pieces plays straight
// through without a length.
TEST_F(OpusOwnReaderTest, ChainedMultiplexedAndUnseekableStreams)
{
    const Bytes tones = TonesFile(2, 30000), clicks = SecondLink(), twelve = TonesFile(12, 9600);
    const Decoder chain = OpenOpus(OwnReader, u"chain.opus", Chained(Chained(tones, clicks), twelve));
    ASSERT_TRUE(chain);
    const std::vector<float> decoded = DecodeAll(chain.get(), 2, 999);
    ASSERT_EQ(decoded.size(), 2u * 50000u);
    const std::size_t click = PeakFrame(decoded, 2, 39900, 40100);
    ASSERT_EQ(chain->SetPosition(click - 123), S_OK);
    EXPECT_EQ(PeakFrame(DecodeAll(chain.get(), 2, 400), 2, 0, 400), 123u);

    // Multiplexed: the pages of `twelve` and `clicks` taken in turn, first pages first.
    const std::vector<std::size_t> a = PageBounds(twelve), b = PageBounds(clicks);
    Bytes muxed;
    for (std::size_t i = 0; i + 1 < std::max(a.size(), b.size()); ++i)
        for (const auto& [from, at] : {std::pair(&twelve, &a), std::pair(&clicks, &b)})
            muxed.insert(muxed.end(), from->begin() + (*at)[std::min(i, at->size() - 1)], from->begin() + (*at)[std::min(i + 1, at->size() - 1)]);
    host::StreamFaults live;
    live.failSeek = true;
    live.maxBytesPerRead = 333;
    const std::pair<Bytes, host::StreamFaults> streams[] = {{twelve, {}}, {Chained(twelve, tones), {}}, {muxed, {}}, {twelve, live}};
    std::vector<float> reference; // the first, alone
    for (const auto& [bytes, faults] : streams) {
        const Decoder decoder = OpenOpus(Automatic, u"twelve.opus", bytes, faults);
        ASSERT_TRUE(decoder);
        const HSSWaveFormat format = FormatOf(decoder.get());
        EXPECT_EQ(std::pair(format.channelCount, format.totalSamples), std::pair(12u, std::uint64_t{faults.failSeek ? 0u : 9600u}));
        reference = reference.empty() ? DecodeAll(decoder.get(), 12) : reference;
        EXPECT_EQ(decoder->SetPosition(0), faults.failSeek ? E_FAIL : S_OK);
        EXPECT_EQ(DecodeAll(decoder.get(), 12), reference) << "the other stream's pages leaked in";
    }
}

// Hostile input opens or not as it must; whatever opens plays to a clean end
// without overrunning the caller's buffer, and no more than the stream holds.
TEST_F(OpusOwnReaderTest, HostileInputFailsOrRecoversCleanly)
{
    const std::size_t all = 12 * 24000;
    const Bytes good = TonesFile(12, 24000);
    const auto plays = [](const Decoder& decoder, std::size_t atLeast, std::size_t atMost) {
        ASSERT_TRUE(decoder);
        const std::size_t size = DecodeAll(decoder.get(), 12).size();
        EXPECT_GE(size, atLeast);
        EXPECT_LE(size, atMost);
    };
    // Cut anywhere: inside the headers (before the third page) it does not
    // open; later it plays what is there.
    for (std::size_t cut = 1; cut < good.size(); cut += good.size() / 37) {
        const Decoder decoder = OpenOpus(Automatic, u"cut.opus", Bytes(good.begin(), good.begin() + cut));
        EXPECT_EQ(decoder != nullptr, cut >= PageBounds(good)[2]) << cut;
        if (decoder)
            plays(decoder, 0, all);
    }
    // After a read failure half-way (its bytes lost too) what came before plays.
    host::StreamFaults failing;
    failing.failReadsAt = good.size() / 2;
    plays(OpenOpus(Automatic, u"failing.opus", good, failing), 1, all - 1);
    // Stream tables that do not match the packets, and garbled packets behind
    // valid checksums, whatever libopus makes of them.
    for (const auto& [streams, coupled] : {std::pair{11, 1}, std::pair{6, 6}, std::pair{1, 0}}) {
        Bytes table = good;
        EditOggPages(table, [&](int index, ogg_page& page) {
            return index == 0 && (page.body[19] = static_cast<unsigned char>(streams), page.body[20] = static_cast<unsigned char>(coupled), true);
        });
        if (const Decoder decoder = OpenOpus(Automatic, u"table.opus", table))
            plays(decoder, 0, all);
    }
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        Bytes garbled = good;
        std::mt19937 random(seed);
        EditOggPages(garbled, [&](int index, ogg_page& page) {
            for (int i = 0; index >= 2 && i < 8 && page.body_len > 0; ++i)
                page.body[std::uniform_int_distribution<long>(0, page.body_len - 1)(random)] ^= static_cast<unsigned char>(1u << i);
            return index >= 2 && page.body_len > 0;
        });
        plays(OpenOpus(Automatic, u"garbled.opus", garbled), 0, all);
    }
}
