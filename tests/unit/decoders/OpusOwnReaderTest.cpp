// The own Ogg Opus reader: its header parsing, and its decoding against
// opusfile where both play, on chained and multiplexed streams, and on
// damaged input.
#include "DecoderTestSupport.h"

#include <decoders/OpusIdHeader.h>
#include <decoders/OpusTagGains.h>

#include <ogg/ogg.h>

#include <cstring>
#include <functional>
#include <random>

using enum OpusDecodingPath;

namespace {

using B = unsigned char;

// An ID header: version 1, `channels`, pre-skip 312, 44100 Hz input, output
// gain `gainQ8`, `family`, and for families other than 0 the table.
Bytes IdHeader(int channels, int family, int streams = 0, int coupled = 0, Bytes mapping = {}, int gainQ8 = 0)
{
    Bytes bytes = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, B(channels), 0x38, 0x01, 0x44, 0xAC, 0, 0,
                   B(gainQ8 & 0xFF), B((gainQ8 >> 8) & 0xFF), B(family)};
    if (family != 0) {
        bytes.push_back(B(streams));
        bytes.push_back(B(coupled));
    }
    bytes.insert(bytes.end(), mapping.begin(), mapping.end());
    return bytes;
}

const auto With = [](Bytes bytes, std::size_t at, unsigned char value) { return bytes.at(at) = value, bytes; };

// An OpusTags packet with vendor "test" and `comments`, claiming `claimedCount` of them.
Bytes TagsPacket(const std::vector<std::string>& comments, std::uint32_t claimedCount = ~0u)
{
    Bytes bytes = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's', 4, 0, 0, 0, 't', 'e', 's', 't'};
    const auto put = [&bytes](std::size_t n) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(B(n >> shift));
    };
    put(claimedCount == ~0u ? comments.size() : claimedCount);
    for (const std::string& comment : comments) {
        put(comment.size());
        bytes.insert(bytes.end(), comment.begin(), comment.end());
    }
    return bytes;
}


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

const auto Chained = [](Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; };

// Stereo clicks in a link of serial 2 whose layout (family 0) and header gain
// differ from those of TonesFile: a decoder is made anew for it.
Bytes SecondLink()
{
    testaudio::OpusOptions options;
    options.serialNumber = 2;
    options.headerGainQ8 = -512;
    options.mappingFamily = 0;
    options.maxPageDuration = 4800;
    return testaudio::EncodeOpus(testaudio::Synthesize(ClickShape(20000, {10000}, 2)), 2, 48000, options);
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
            TheProcessState().opusGainQuery.reset(withQuery ? &query : nullptr);
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

// Each stream opens or not as it must, and whatever opens plays to a clean
// end, without overrunning the caller's buffer, no more than it holds.
// Chained links play in turn until one of another channel count; of two
// multiplexed streams the first Opus stream plays; an unseekable stream fed
// in pieces plays through without a length: those play exactly `twelve`.
TEST_F(OpusOwnReaderTest, ChainedMultiplexedDamagedAndHostileStreams)
{
    const Bytes tones = TonesFile(2, 30000), clicks = SecondLink(), twelve = TonesFile(12, 24000);
    const std::vector<float> reference = DecodeAll(OpenOpus(OwnReader, u"twelve.opus", twelve).get(), 12);
    const std::vector<std::size_t> a = PageBounds(twelve), b = PageBounds(clicks);
    Bytes muxed; // the pages of `twelve` and `clicks` taken in turn, first pages first
    for (std::size_t i = 0; i + 1 < std::max(a.size(), b.size()); ++i)
        for (const auto& [from, at] : {std::pair(&twelve, &a), std::pair(&clicks, &b)})
            muxed.insert(muxed.end(), from->begin() + at->at(std::min(i, at->size() - 1)), from->begin() + at->at(std::min(i + 1, at->size() - 1)));
    // The stream, its faults (an unseekable stream fed in pieces; a read failure half-way losing its bytes too),
    // whether it opens (-1: either way) and the frames it plays at least and at most.
    std::vector<std::tuple<Bytes, host::StreamFaults, int, std::size_t, std::size_t>> rows = {
        {Chained(twelve, tones), {}, 1, 24000, 24000}, {muxed, {}, 1, 24000, 24000},
        {twelve, {false, true, {}, 333, E_FAIL}, 1, 24000, 24000}, {twelve, {false, false, twelve.size() / 2, 0, E_FAIL}, 1, 1, 23999}};
    // Cut anywhere: inside the headers (before the third page) it does not open.
    for (std::size_t cut = 1; cut < twelve.size(); cut += twelve.size() / 37)
        rows.push_back({Bytes(twelve.begin(), twelve.begin() + cut), {}, cut >= a[2], 0, 24000});
    // Stream tables that do not match the packets, and garbled packets behind
    // valid checksums, whatever libopus makes of them.
    for (const auto& [streams, coupled] : {std::pair{11, 1}, std::pair{6, 6}, std::pair{1, 0}}) {
        Bytes table = twelve;
        EditOggPages(table, [&](int index, ogg_page& page) {
            return index == 0 && (page.body[19] = static_cast<B>(streams), page.body[20] = static_cast<B>(coupled), true);
        });
        rows.push_back({table, {}, -1, 0, 24000});
    }
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        Bytes garbled = twelve;
        std::mt19937 random(seed);
        EditOggPages(garbled, [&](int index, ogg_page& page) {
            for (int i = 0; index >= 2 && i < 8 && page.body_len > 0; ++i)
                page.body[std::uniform_int_distribution<long>(0, page.body_len - 1)(random)] ^= static_cast<unsigned char>(1u << i);
            return index >= 2 && page.body_len > 0;
        });
        rows.push_back({garbled, {}, 1, 0, 24000});
    }
    for (const auto& [bytes, faults, opens, least, most] : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &bytes - &std::get<0>(rows[0]));
        const Decoder decoder = OpenOpus(Automatic, u"stream.opus", bytes, faults);
        EXPECT_TRUE(opens < 0 || opens == (decoder != nullptr));
        const std::vector<float> samples = decoder ? DecodeAll(decoder.get(), 12) : std::vector<float>();
        EXPECT_TRUE(samples.size() >= (decoder ? least * 12 : 0) && samples.size() <= most * 12) << samples.size() / 12 << " frames";
        EXPECT_TRUE(least < 24000 || samples == reference) << "another stream's pages leaked in";
    }

    // Stereo links then a twelve-channel one: a seek into the second lands on its click; the third ends the stream.
    const Decoder chain = OpenOpus(OwnReader, u"chain.opus", Chained(Chained(tones, clicks), twelve));
    ASSERT_TRUE(chain);
    const std::vector<float> decoded = DecodeAll(chain.get(), 2, 999);
    ASSERT_EQ(decoded.size(), 2u * 50000u);
    const std::size_t click = PeakFrame(decoded, 2, 39900, 40100);
    ASSERT_EQ(chain->SetPosition(click - 123), S_OK);
    EXPECT_EQ(PeakFrame(DecodeAll(chain.get(), 2, 400), 2, 0, 400), 123u);
}

TEST(OpusIdHeaderTest, ReadsTheFieldsAndTheImplicitOrEnumeratedLayout)
{
    OpusIdHeader h;
    const auto parses = [&h](const Bytes& bytes) { return ParseOpusIdHeader(bytes.data(), bytes.size(), h); };
    ASSERT_TRUE(parses(IdHeader(2, 0, 0, 0, {}, -256)));
    EXPECT_EQ(std::tuple(h.preSkip, h.outputGainQ8, h.streamCount, h.coupledCount), std::tuple(312, -256, 1, 1)) << "a signed gain";
    ASSERT_TRUE(parses(IdHeader(3, 255, 2, 1, {2, 255, 0}, 0x7FFF)));
    EXPECT_EQ(std::tuple(h.mappingFamily, h.outputGainQ8, h.streamCount, h.coupledCount, h.mapping[0], h.mapping[1]),
              std::tuple(255, 32767, 2, 1, 2, 255)) << "255: a silent channel";

    // Refused: empty, bad magic, a later version, no family, no channels;
    // family 0 with three channels, family 1 with nine, family 2; a table cut
    // short; no stream, more coupled than streams, more streams than channels;
    // an entry beyond the one decoded channel.
    const Bytes bad[] = {{}, With(IdHeader(2, 0), 4, 'X'), With(IdHeader(2, 0), 8, 16), [] { Bytes b = IdHeader(2, 0); return b.pop_back(), b; }(),
                         IdHeader(0, 0), IdHeader(3, 0), IdHeader(9, 1, 9, 0, Bytes(9, 0)), IdHeader(2, 2, 1, 1, {0, 1}), IdHeader(2, 1, 1, 1, {0}),
                         IdHeader(2, 1, 0, 0, {0, 1}), IdHeader(2, 1, 1, 2, {0, 1}), IdHeader(2, 1, 3, 0, {0, 1}), IdHeader(2, 255, 1, 0, {0, 1})};
    for (std::size_t i = 0; i < std::size(bad); ++i)
        EXPECT_FALSE(parses(bad[i])) << "case " << i;
    EXPECT_FALSE(ParseOpusIdHeader(nullptr, 19, h));
}

TEST(OpusTagGainsTest, TakesTheFirstValidLoudnessTagOfEachNameFromAWholePacket)
{
    // Invalid values are passed over; the name matches in any case; a bare
    // sign or nothing reads as 0, as opusfile reads it.
    const std::pair<std::vector<std::string>, std::pair<std::optional<int>, std::optional<int>>> cases[] = {
        {{"TITLE=" + std::string(300, 'x'), "R128_TRACK_GAIN=-1664", "R128_ALBUM_GAIN=+0300"}, {-1664, 300}},
        {{"R128_TRACK_GAINS=5", "R128_TRACK=5", "REPLAYGAIN_TRACK_GAIN=-3 dB"}, {std::nullopt, std::nullopt}},
        {{"R128_TRACK_GAIN=1.5", "R128_TRACK_GAIN= 7", "R128_TRACK_GAIN=32768", "r128_track_gain=-32768",
          "R128_TRACK_GAIN=9", "R128_ALBUM_GAIN=-32769", "R128_ALBUM_GAIN=32767"},
         {-32768, 32767}},
        {{"R128_TRACK_GAIN=", "R128_ALBUM_GAIN=-", "R128_ALBUM_GAIN=5"}, {0, 0}},
    };
    for (const auto& [comments, expected] : cases) {
        const Bytes bytes = TagsPacket(comments);
        OpusTagGains gains;
        ASSERT_TRUE(ParseOpusTagGains(bytes.data(), bytes.size(), gains)) << comments[0];
        EXPECT_EQ(std::pair(gains.trackGainQ8, gains.albumGainQ8), expected) << comments[0];
    }

    // A list that runs past the packet's end, or the wrong magic, is refused.
    OpusTagGains gains;
    const Bytes good = TagsPacket({"R128_TRACK_GAIN=1"});
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(ParseOpusTagGains(good.data(), cut, gains)) << "cut at " << cut;
    // More comments claimed than held, a comment's length beyond the packet, the wrong magic.
    for (const Bytes& bytes : {TagsPacket({"A=1"}, 2), With(With(TagsPacket({"A=1"}), 20, 0xFF), 23, 0xFF), With(good, 0, 'X')})
        EXPECT_FALSE(ParseOpusTagGains(bytes.data(), bytes.size(), gains));
}
