#include <decoders/OpusIdHeader.h>
#include <decoders/OpusTagGains.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using B = unsigned char;

// An ID header: version 1, `channels`, pre-skip 312, 44100 Hz input, output
// gain `gainQ8`, `family`, and for families other than 0 the table.
Bytes IdHeader(int channels, int family, int streams = 0, int coupled = 0, Bytes mapping = {}, int gainQ8 = 0)
{
    Bytes bytes = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, B(channels), 0x38, 0x01, 0x44, 0xAC, 0, 0,
                   B(gainQ8 & 0xFF), B((gainQ8 >> 8) & 0xFF), B(family)};
    if (family != 0)
        bytes.insert(bytes.end(), {B(streams), B(coupled)});
    bytes.insert(bytes.end(), mapping.begin(), mapping.end());
    return bytes;
}

Bytes With(Bytes bytes, std::size_t at, unsigned char value)
{
    bytes.at(at) = value;
    return bytes;
}

// An OpusTags packet with vendor "test" and `comments`, claiming `claimedCount` of them.
Bytes TagsPacket(const std::vector<std::string>& comments, std::uint32_t claimedCount = ~0u)
{
    Bytes bytes = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's', 4, 0, 0, 0, 't', 'e', 's', 't'};
    const auto put = [&bytes](std::size_t value) { bytes.insert(bytes.end(), {B(value), B(value >> 8), B(value >> 16), B(value >> 24)}); };
    put(claimedCount == ~0u ? comments.size() : claimedCount);
    for (const std::string& comment : comments) {
        put(comment.size());
        bytes.insert(bytes.end(), comment.begin(), comment.end());
    }
    return bytes;
}

} // namespace

TEST(OpusIdHeaderTest, ReadsTheFieldsAndTheImplicitOrEnumeratedLayout)
{
    OpusIdHeader h;
    const auto parses = [&h](const Bytes& bytes) { return ParseOpusIdHeader(bytes.data(), bytes.size(), h); };
    ASSERT_TRUE(parses(IdHeader(2, 0, 0, 0, {}, -256)));
    EXPECT_EQ(std::tuple(h.channelCount, h.preSkip, h.outputGainQ8, h.streamCount, h.coupledCount, h.mapping[0], h.mapping[1]),
              std::tuple(2, 312, -256, 1, 1, 0, 1)) << "the gain is a signed 16-bit value";
    ASSERT_TRUE(parses(IdHeader(3, 255, 2, 1, {2, 255, 0}, 0x7FFF)));
    EXPECT_EQ(std::tuple(h.mappingFamily, h.outputGainQ8, h.streamCount, h.coupledCount, h.mapping[0], h.mapping[1]),
              std::tuple(255, 32767, 2, 1, 2, 255)) << "255: a silent channel";

    // Refused: empty, bad magic, a later version, no family, no channels;
    // family 0 with three channels, family 1 with nine, family 2; a table cut
    // short; no stream, more coupled than streams, more streams than channels;
    // an entry beyond the one decoded channel.
    const Bytes bad[] = {{}, With(IdHeader(2, 0), 4, 'X'), With(IdHeader(2, 0), 8, 16),
                         [] { Bytes b = IdHeader(2, 0); return b.pop_back(), b; }(), IdHeader(0, 0), IdHeader(3, 0), IdHeader(9, 1, 9, 0, Bytes(9, 0)), IdHeader(2, 2, 1, 1, {0, 1}),
                         IdHeader(2, 1, 1, 1, {0}), IdHeader(2, 1, 0, 0, {0, 1}), IdHeader(2, 1, 1, 2, {0, 1}),
                         IdHeader(2, 1, 3, 0, {0, 1}), IdHeader(2, 255, 1, 0, {0, 1})};
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
