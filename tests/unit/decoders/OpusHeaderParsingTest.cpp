#include <decoders/OpusIdHeader.h>
#include <decoders/OpusOutputGain.h>
#include <decoders/OpusTagGains.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// An ID header: version 1, `channels`, pre-skip 312, 44100 Hz input, output
// gain `gainQ8`, `family`, and for families other than 0 the table.
std::vector<unsigned char> IdHeader(int channels, int family, int streams = 0, int coupled = 0,
                                    std::vector<unsigned char> mapping = {}, int gainQ8 = 0)
{
    std::vector<unsigned char> bytes = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, static_cast<unsigned char>(channels),
                                        0x38, 0x01, 0x44, 0xAC, 0x00, 0x00,
                                        static_cast<unsigned char>(gainQ8 & 0xFF),
                                        static_cast<unsigned char>((gainQ8 >> 8) & 0xFF),
                                        static_cast<unsigned char>(family)};
    if (family != 0) {
        bytes.push_back(static_cast<unsigned char>(streams));
        bytes.push_back(static_cast<unsigned char>(coupled));
        bytes.insert(bytes.end(), mapping.begin(), mapping.end());
    }
    return bytes;
}

bool Parses(const std::vector<unsigned char>& bytes, OpusIdHeader& header)
{
    return ParseOpusIdHeader(bytes.data(), bytes.size(), header);
}

std::vector<unsigned char> Le32(std::uint32_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

std::vector<unsigned char> TagsPacket(const std::vector<std::string>& comments, std::uint32_t claimedCount = ~0u)
{
    std::vector<unsigned char> bytes = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's'};
    const std::string vendor = "test";
    const auto vendorLength = Le32(static_cast<std::uint32_t>(vendor.size()));
    bytes.insert(bytes.end(), vendorLength.begin(), vendorLength.end());
    bytes.insert(bytes.end(), vendor.begin(), vendor.end());
    const auto count = Le32(claimedCount == ~0u ? static_cast<std::uint32_t>(comments.size()) : claimedCount);
    bytes.insert(bytes.end(), count.begin(), count.end());
    for (const std::string& comment : comments) {
        const auto length = Le32(static_cast<std::uint32_t>(comment.size()));
        bytes.insert(bytes.end(), length.begin(), length.end());
        bytes.insert(bytes.end(), comment.begin(), comment.end());
    }
    return bytes;
}

OpusTagGains Gains(const std::vector<std::string>& comments)
{
    const auto bytes = TagsPacket(comments);
    OpusTagGains gains;
    EXPECT_TRUE(ParseOpusTagGains(bytes.data(), bytes.size(), gains));
    return gains;
}

} // namespace

TEST(OpusIdHeaderTest, ReadsTheFieldsAndTheImplicitOrEnumeratedLayout)
{
    OpusIdHeader header;
    ASSERT_TRUE(Parses(IdHeader(2, 0, 0, 0, {}, -256), header));
    EXPECT_EQ(header.channelCount, 2);
    EXPECT_EQ(header.preSkip, 312);
    EXPECT_EQ(header.outputGainQ8, -256) << "the gain is a signed 16-bit value";
    EXPECT_EQ(header.streamCount, 1);
    EXPECT_EQ(header.coupledCount, 1);
    EXPECT_EQ(header.mapping[0], 0);
    EXPECT_EQ(header.mapping[1], 1);

    ASSERT_TRUE(Parses(IdHeader(1, 0), header));
    EXPECT_EQ(header.coupledCount, 0);

    ASSERT_TRUE(Parses(IdHeader(3, 255, 2, 1, {2, 255, 0}, 0x7FFF), header));
    EXPECT_EQ(header.mappingFamily, 255);
    EXPECT_EQ(header.outputGainQ8, 32767);
    EXPECT_EQ(header.streamCount, 2);
    EXPECT_EQ(header.coupledCount, 1);
    EXPECT_EQ(header.mapping[0], 2);
    EXPECT_EQ(header.mapping[1], 255) << "a silent channel";

    std::vector<unsigned char> identity(255);
    for (int c = 0; c < 255; ++c)
        identity[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
    ASSERT_TRUE(Parses(IdHeader(255, 255, 255, 0, identity), header));
    EXPECT_EQ(header.channelCount, 255);
    EXPECT_EQ(header.mapping[254], 254);
}

TEST(OpusIdHeaderTest, RefusesMalformedAndUnplayableHeaders)
{
    OpusIdHeader header;
    auto badMagic = IdHeader(2, 0);
    badMagic[4] = 'X';
    auto laterVersion = IdHeader(2, 0);
    laterVersion[8] = 16;
    auto noFamily = IdHeader(2, 0);
    noFamily.pop_back();
    const std::vector<std::vector<unsigned char>> bad = {
        {},
        badMagic,
        laterVersion,
        noFamily,
        IdHeader(0, 0),
        IdHeader(3, 0),                                   // family 0 holds at most two channels
        IdHeader(9, 1, 9, 0, std::vector<unsigned char>(9, 0)), // family 1 holds at most eight
        IdHeader(2, 2, 1, 1, {0, 1}),                     // a family this reader does not play
        IdHeader(2, 1, 1, 1, {0}),                        // table cut short
        IdHeader(2, 1, 0, 0, {0, 1}),                     // no stream
        IdHeader(2, 1, 1, 2, {0, 1}),                     // more coupled than streams
        IdHeader(2, 1, 3, 0, {0, 1}),                     // more streams than channels
        IdHeader(2, 255, 1, 0, {0, 1}),                   // entry 1 beyond the one decoded channel
    };
    for (std::size_t i = 0; i < bad.size(); ++i)
        EXPECT_FALSE(Parses(bad[i], header)) << "case " << i;
    EXPECT_FALSE(ParseOpusIdHeader(nullptr, 19, header));
}

TEST(OpusTagGainsTest, TakesTheFirstValidLoudnessTagOfEachName)
{
    const OpusTagGains plain = Gains({"TITLE=x", "R128_TRACK_GAIN=-1664", "R128_ALBUM_GAIN=+0300"});
    EXPECT_EQ(plain.trackGainQ8, -1664);
    EXPECT_EQ(plain.albumGainQ8, 300);

    const OpusTagGains none = Gains({"R128_TRACK_GAINS=5", "R128_TRACK=5", "REPLAYGAIN_TRACK_GAIN=-3 dB"});
    EXPECT_FALSE(none.trackGainQ8.has_value());
    EXPECT_FALSE(none.albumGainQ8.has_value());

    // Invalid values are passed over; the name matches in any case.
    const OpusTagGains skipped = Gains({"R128_TRACK_GAIN=1.5", "R128_TRACK_GAIN= 7", "R128_TRACK_GAIN=32768",
                                        "r128_track_gain=-32768", "R128_TRACK_GAIN=9",
                                        "R128_ALBUM_GAIN=-32769", "R128_ALBUM_GAIN=32767"});
    EXPECT_EQ(skipped.trackGainQ8, -32768);
    EXPECT_EQ(skipped.albumGainQ8, 32767);

    // A bare sign or nothing reads as 0, as opusfile reads it.
    const OpusTagGains empty = Gains({"R128_TRACK_GAIN=", "R128_ALBUM_GAIN=-", "R128_ALBUM_GAIN=5"});
    EXPECT_EQ(empty.trackGainQ8, 0);
    EXPECT_EQ(empty.albumGainQ8, 0);
}

TEST(OpusTagGainsTest, RefusesPacketsWhoseListRunsPastTheirEnd)
{
    OpusTagGains gains;
    const auto good = TagsPacket({"R128_TRACK_GAIN=1"});
    ASSERT_TRUE(ParseOpusTagGains(good.data(), good.size(), gains));
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(ParseOpusTagGains(good.data(), cut, gains)) << "cut at " << cut;
    const auto moreClaimed = TagsPacket({"A=1"}, 2);
    EXPECT_FALSE(ParseOpusTagGains(moreClaimed.data(), moreClaimed.size(), gains));
    auto hugeLength = TagsPacket({"A=1"});
    hugeLength[20] = 0xFF; // the comment's length, now beyond the packet
    hugeLength[23] = 0xFF;
    EXPECT_FALSE(ParseOpusTagGains(hugeLength.data(), hugeLength.size(), gains));
    auto wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(ParseOpusTagGains(wrongMagic.data(), wrongMagic.size(), gains));
}

TEST(OpusOutputGainTest, AddsTheChosenTagAndClampsTheTotal)
{
    OpusIdHeader header;
    header.outputGainQ8 = -500;
    OpusTagGains tags;
    tags.trackGainQ8 = 1000;
    OpusGainSetting setting;
    setting.offsetQ8 = 20;
    EXPECT_EQ(CombinedGainQ8(header, tags, setting), -480) << "header base ignores the tags";
    setting.base = OpusGainBase::Track;
    EXPECT_EQ(CombinedGainQ8(header, tags, setting), 520);
    setting.base = OpusGainBase::Album;
    EXPECT_EQ(CombinedGainQ8(header, tags, setting), -480) << "a missing album tag counts as 0";
    setting.offsetQ8 = INT32_MAX;
    EXPECT_EQ(CombinedGainQ8(header, tags, setting), 32767);
    setting.offsetQ8 = INT32_MIN;
    EXPECT_EQ(CombinedGainQ8(header, tags, setting), -32768);
}
