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

} // namespace

using OpusOwnReaderTest = BuiltinDecoderTest;

TEST_F(OpusOwnReaderTest, StraightDecodeEqualsOpusfileBitForBitInEveryGainMode)
{
    // Whether a gain query is set, and its mode and gain in dB.
    const std::tuple<bool, std::int32_t, float> gains[] = {
        {false, 0, 0.0f}, {true, kGainModeNone, -6.5f}, {true, kGainModeTrack, -6.5f}, {true, kGainModeAlbum, 2.25f},
        {true, kGainModeNoAnswer, 9.0f}, {true, kGainModeTrack, 200.0f}, {true, kGainModeAlbum, -300.0f}};
    const std::tuple<std::uint32_t, int, bool> files[] = {{1, 0, false}, {1, 1, false}, {2, 0, false},
                                                          {2, 1, false}, {8, 1, false}, {2, 1, true}};
    for (const auto& [channels, family, malformedTags] : files) {
        SCOPED_TRACE(testing::Message() << channels << " channels, family " << family << (malformedTags ? ", bad tags" : ""));
        testaudio::OpusOptions options;
        options.mappingFamily = family;
        options.headerGainQ8 = -700;
        // Malformed: the first valid tag of each name counts; an out-of-range album tag counts as none.
        options.comments = malformedTags ? decltype(options.comments){{"R128_TRACK_GAIN", "1.5"}, {"r128_track_gain", "+0300"},
                                                                      {"R128_ALBUM_GAIN", "40000"}}
                                         : decltype(options.comments){{"R128_TRACK_GAIN", "1100"}, {"R128_ALBUM_GAIN", "-2300"}};
        // Not a whole number of packets: the end is trimmed inside one.
        const Bytes bytes = TonesFile(channels, 24000 + 123, options);
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
            ASSERT_EQ(outputs.back().size(), 24123u * channels);
            EXPECT_TRUE(SameBits(DecodeAll(opusfile.get(), channels, 4096), outputs.back())) << "the own reader decodes other samples";
        }
        EXPECT_NE(outputs[1], outputs[2]) << "the gains changed the output, so the comparison covered them";
        EXPECT_NE(outputs[2], outputs[3]);
    }
}

// Chained links play in turn until one with another channel count, which
// ends the stream; of two multiplexed streams the first Opus stream plays;
// an unseekable stream fed in pieces plays straight through without a length.
TEST_F(OpusOwnReaderTest, ChainedMultiplexedAndUnseekableStreams)
{
    testaudio::OpusOptions first, second;
    first.serialNumber = 1;
    second.serialNumber = 2;
    second.headerGainQ8 = -512;
    second.mappingFamily = 0; // another layout: the decoder is made anew
    second.maxPageDuration = 4800;
    const Bytes tones = TonesFile(2, 30000, first);
    const Bytes clicks = testaudio::EncodeOpus(testaudio::Synthesize(ClickSpec(20000, {10000}, 2)), 2, 48000, second);
    const Bytes twelve = TonesFile(12, 9600);
    const auto chained = [](Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; };

    // Two stereo links: the same samples as opusfile, one after the other; a
    // seek into the second link lands on its click; a twelve-channel link
    // after them ends the stream.
    const Bytes stereoChain = chained(tones, clicks);
    const Decoder opusfile = OpenOpus(Automatic, u"chain.opus", stereoChain), own = OpenOpus(OwnReader, u"chain.opus", stereoChain);
    ASSERT_TRUE(opusfile && own);
    const std::vector<float> decoded = DecodeAll(own.get(), 2);
    ASSERT_EQ(decoded.size(), 2u * 50000u);
    EXPECT_TRUE(SameBits(DecodeAll(opusfile.get(), 2), decoded));
    const std::size_t click = PeakFrame(decoded, 2, 39900, 40100);
    ASSERT_EQ(own->SetPosition(click - 123), S_OK);
    EXPECT_EQ(PeakFrame(DecodeAll(own.get(), 2, 400), 2, 0, 400), 123u);
    const Decoder mixed = OpenOpus(OwnReader, u"mixed.opus", chained(stereoChain, twelve));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(DecodeAll(mixed.get(), 2, 999).size(), 2u * 50000u);

    // Multiplexed: the pages of `twelve` and `clicks` taken in turn, first pages first.
    const std::vector<std::size_t> a = PageBounds(twelve), b = PageBounds(clicks);
    Bytes muxed;
    for (std::size_t i = 0; i + 1 < std::max(a.size(), b.size()); ++i)
        for (const auto& [from, at] : {std::pair(&twelve, &a), std::pair(&clicks, &b)})
            muxed.insert(muxed.end(), from->begin() + (*at)[std::min(i, at->size() - 1)], from->begin() + (*at)[std::min(i + 1, at->size() - 1)]);
    host::StreamFaults live;
    live.failSeek = true;
    live.maxBytesPerRead = 333;
    const std::pair<Bytes, host::StreamFaults> streams[] = {{twelve, {}}, {chained(twelve, tones), {}}, {muxed, {}}, {twelve, live}};
    std::vector<float> reference; // the first, alone
    for (const auto& [bytes, faults] : streams) {
        const Decoder decoder = OpenOpus(Automatic, u"twelve.opus", bytes, faults);
        ASSERT_TRUE(decoder);
        const HSSWaveFormat format = FormatOf(decoder.get());
        EXPECT_EQ(std::pair(format.channelCount, format.totalSamples), std::pair(12u, std::uint64_t{faults.failSeek ? 0u : 9600u}));
        const std::vector<float> samples = DecodeAll(decoder.get(), 12);
        reference = reference.empty() ? samples : reference;
        EXPECT_TRUE(SameBits(samples, reference)) << "the other stream's pages leaked in";
        EXPECT_EQ(decoder->SetPosition(4321), faults.failSeek ? E_FAIL : S_OK);
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

    // More streams than channels is refused; a header whose packets hold
    // another number of streams makes libopus refuse the packets.
    const auto rewriteTable = [](Bytes bytes, int streams, int coupled) {
        EditOggPages(bytes, [&](int index, ogg_page& page) {
            if (index == 0)
                page.body[19] = static_cast<unsigned char>(streams), page.body[20] = static_cast<unsigned char>(coupled);
            return index == 0;
        });
        return bytes;
    };
    testaudio::OpusOptions family1;
    family1.mappingFamily = 1;
    EXPECT_FALSE(OpenOpus(OwnReader, u"streams.opus", rewriteTable(good, 13, 0)));
    EXPECT_FALSE(OpenOpus(OwnReader, u"streams.opus", rewriteTable(TonesFile(2, 9600, family1), 3, 0)));
    for (const auto& [streams, coupled] : {std::pair{11, 1}, std::pair{6, 6}, std::pair{1, 0}})
        if (const Decoder decoder = OpenOpus(Automatic, u"table.opus", rewriteTable(good, streams, coupled)))
            plays(decoder, 0, all);
    // Garbled packets behind valid checksums, whatever libopus makes of them.
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
