// The own Ogg Opus reader: streams opusfile refuses (more than eight
// channels), agreement with opusfile where both play, seeking, chained links
// and damaged input.
#include "DecoderTestSupport.h"
#include "OggPageEditing.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>

using Bytes = std::vector<std::uint8_t>;
using enum OpusDecodingPath;

namespace {

HSSWaveFormat FormatOf(IHSSWaveDecoder* decoder)
{
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    return format;
}

// Renders to the end in blocks of `block` frames into a buffer followed by
// canaries (12345), checking after each call that nothing was written past the block.
Decoded DecodeAllGuarded(IHSSWaveDecoder* decoder, std::uint32_t channels, std::uint32_t block = 1000)
{
    Decoded out;
    std::vector<float> buffer(std::size_t{block + 8} * channels, 12345.0f);
    for (std::uint32_t rendered = 0, status = 1; status != 0 && decoder->Render(buffer.data(), block, &rendered, &status) == S_OK;) {
        EXPECT_LE(rendered, block);
        EXPECT_EQ(std::count(buffer.begin() + block * channels, buffer.end(), 12345.0f), 8 * channels) << "written past the block";
        out.samples.insert(out.samples.end(), buffer.begin(), buffer.begin() + std::min(rendered, block) * channels);
        out.lastStatus = status;
    }
    return out;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

} // namespace

using OpusOwnReaderTest = BuiltinDecoderTest;

TEST_F(OpusOwnReaderTest, SourcesBeyondEightChannelsDeliverEveryChannelInOrder)
{
    for (const auto& [channels, frames, milliseconds] : {std::tuple{12u, 48000u, 1000u}, std::tuple{255u, 9600u, 200u}}) {
        SCOPED_TRACE(channels);
        testaudio::SignalSpec shape;
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"many.opus", TonesFile(channels, frames, &shape));
        ASSERT_NE(decoder, nullptr) << "the module did not open a family-255 stream";
        const HSSWaveFormat format = FormatOf(decoder);
        EXPECT_EQ(std::tuple(format.sampleRate, format.channelCount, format.sampleFormat, format.seekCapability,
                             format.totalSamples, format.totalMilliseconds),
                  std::tuple(48000u, channels, 0x10020u, 2u, std::uint64_t{frames}, milliseconds));
        const Decoded decoded = DecodeAllGuarded(decoder, channels);
        ASSERT_EQ(decoded.samples.size(), std::size_t{frames} * channels);
        EXPECT_EQ(decoded.lastStatus, 0u);
        // Each channel carries its own tone and hardly its neighbours' (a
        // swapped or misplaced channel lacks its own); all pairs for 12.
        for (std::uint32_t c = 0; c < channels; ++c) {
            const double own = TonePower(decoded.samples, channels, c, shape.channels[c].frequency, 48000);
            for (std::uint32_t other = 0; other < channels; ++other) {
                if (other != c && (channels <= 16 || other + 1 == c || other == c + 1)) {
                    EXPECT_GT(own, 20 * TonePower(decoded.samples, channels, c, shape.channels[other].frequency, 48000))
                        << "channel " << c << " carries the tone of channel " << other;
                }
            }
        }
        decoder->Release();
    }
}

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
        testaudio::OpusOptions options = ShortPages();
        options.mappingFamily = family;
        options.headerGainQ8 = -700;
        // Malformed: the first valid tag of each name counts; an out-of-range album tag counts as none.
        options.comments = malformedTags ? decltype(options.comments){{"R128_TRACK_GAIN", "1.5"}, {"r128_track_gain", "+0300"},
                                                                      {"R128_ALBUM_GAIN", "40000"}}
                                         : decltype(options.comments){{"R128_TRACK_GAIN", "1100"}, {"R128_ALBUM_GAIN", "-2300"}};
        // Not a whole number of packets: the end is trimmed inside one.
        const Bytes bytes = TonesFile(channels, 24000 + 123, nullptr, options);
        std::vector<double> levels;
        for (const auto& [withQuery, mode, db] : gains) {
            SCOPED_TRACE(testing::Message() << "gain mode " << mode << " " << db << " dB");
            ScriptedGainQuery query(mode, db);
            TheProcessState().opusGainQuery = withQuery ? &query : nullptr;
            IHSSWaveDecoder* opusfile = OpenOpus(Automatic, u"same.opus", bytes);
            IHSSWaveDecoder* own = OpenOpus(OwnReader, u"same.opus", bytes);
            TheProcessState().opusGainQuery = nullptr;
            ASSERT_TRUE(opusfile && own);
            const HSSWaveFormat formats[] = {FormatOf(opusfile), FormatOf(own)};
            EXPECT_EQ(std::memcmp(&formats[0], &formats[1], sizeof formats[0]), 0) << "the format records differ";
            // Blocks of 1000 frames split packets between calls.
            const std::vector<float> reference = DecodeAll(opusfile, channels, 1000).samples;
            const std::vector<float> decoded = DecodeAllGuarded(own, channels).samples;
            ASSERT_EQ(reference.size(), 24123u * channels);
            EXPECT_TRUE(SameBits(reference, decoded)) << "the own reader decodes other samples";
            levels.push_back(Rms(decoded));
            opusfile->Release();
            own->Release();
        }
        EXPECT_NE(levels[1], levels[2]) << "the gains changed the output, so the comparison covered them";
        EXPECT_NE(levels[2], levels[3]);
    }
}

TEST_F(OpusOwnReaderTest, SeeksLandOnTheExactSampleAndAgreeWithAStraightDecode)
{
    const std::uint64_t frames = 120000;
    const std::vector<std::uint64_t> clicks = {9001, 23456, 40000, 71111, 95000, 117777};
    // Pages of one second, of one packet, and a family-255 stream that only
    // the own reader plays.
    const std::tuple<std::uint32_t, int, OpusDecodingPath> cases[] = {
        {2, 48000, OwnReader}, {2, 960, OwnReader}, {12, 4800, Automatic}};
    for (const auto& [ch, maxPageDuration, path] : cases) {
        SCOPED_TRACE(testing::Message() << ch << " channels, pages of " << maxPageDuration);
        testaudio::OpusOptions options;
        options.maxPageDuration = maxPageDuration;
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(ClickSpec(frames, clicks, ch)), ch, 48000, options);
        IHSSWaveDecoder* decoder = OpenOpus(path, u"clicks.opus", bytes);
        ASSERT_NE(decoder, nullptr);
        const std::vector<float> straight = DecodeAll(decoder, ch).samples;
        ASSERT_EQ(straight.size(), frames * ch);
        std::mt19937 random(20240611);
        std::vector<float> block(400 * ch);
        std::uint32_t rendered = 0, status = 1;
        for (std::uint64_t click : clicks) {
            const std::size_t peak = PeakFrame(straight, ch, click - 50, std::min(click + 50, frames));
            ASSERT_LE(peak > click ? peak - click : click - peak, 2u) << "the click moved in coding";
            for (int i = 0; i < 3; ++i) {
                const std::uint64_t before = std::uniform_int_distribution<std::uint64_t>(0, 399)(random);
                ASSERT_EQ(decoder->SetPosition(peak - before), S_OK);
                ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
                ASSERT_EQ(rendered, std::min<std::uint64_t>(400, frames - peak + before));
                EXPECT_EQ(PeakFrame(block, ch, 0, rendered), before) << "the seek to " << peak - before << " landed off";
                // After the pre-roll the decoder has all but converged to the straight decode's state.
                EXPECT_LT(std::transform_reduce(block.data(), block.data() + rendered * ch, &straight[(peak - before) * ch], 0.0f,
                                                [](float a, float b) { return std::max(a, b); },
                                                [](float a, float b) { return std::fabs(a - b); }), 0.05f);
            }
        }
        ASSERT_EQ(decoder->SetPosition(0), S_OK);
        EXPECT_TRUE(SameBits(DecodeAll(decoder, ch).samples, straight)) << "back at the start, the same samples";
        ASSERT_EQ(decoder->SetPosition(frames - 1), S_OK);
        ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, &status), S_OK);
        EXPECT_EQ(std::pair(rendered, status), std::pair(1u, 0u)) << "the last frame";
        EXPECT_EQ(decoder->SetPosition(frames), E_FAIL);
        EXPECT_EQ(decoder->SetPosition(~0ull), E_FAIL);
        EXPECT_EQ(decoder->SetPosition(1000), S_OK) << "a refused seek leaves the source usable";
        decoder->Release();
    }
}

// Chained links play in turn until one with another channel count, which
// ends the stream; of two multiplexed streams the first Opus stream plays;
// an unseekable stream plays straight through without a length.
TEST_F(OpusOwnReaderTest, ChainedMultiplexedAndUnseekableStreams)
{
    testaudio::OpusOptions first = ShortPages();
    first.serialNumber = 1;
    testaudio::OpusOptions second = ShortPages();
    second.serialNumber = 2;
    second.headerGainQ8 = -512;
    second.mappingFamily = 0; // another layout: the decoder is made anew
    const Bytes tones = TonesFile(2, 30000, nullptr, first);
    const Bytes clicks = testaudio::EncodeOpus(testaudio::Synthesize(ClickSpec(20000, {10000}, 2)), 2, 48000, second);
    const Bytes twelve = TonesFile(12, 9600);
    const auto chained = [](Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; };

    // Two stereo links: the same samples as opusfile, one after the other; a
    // seek into the second link lands on its click; a twelve-channel link
    // after them ends the stream.
    const Bytes stereoChain = chained(tones, clicks);
    IHSSWaveDecoder* opusfile = OpenOpus(Automatic, u"chain.opus", stereoChain);
    IHSSWaveDecoder* own = OpenOpus(OwnReader, u"chain.opus", stereoChain);
    ASSERT_TRUE(opusfile && own);
    const std::vector<float> decoded = DecodeAllGuarded(own, 2).samples;
    ASSERT_EQ(decoded.size(), 2u * 50000u);
    EXPECT_TRUE(SameBits(DecodeAll(opusfile, 2, 1000).samples, decoded));
    const std::size_t click = PeakFrame(decoded, 2, 39900, 40100);
    ASSERT_EQ(own->SetPosition(click - 123), S_OK);
    EXPECT_EQ(PeakFrame(DecodeAllGuarded(own, 2, 400).samples, 2, 0, 400), 123u);
    opusfile->Release();
    own->Release();
    IHSSWaveDecoder* mixed = OpenOpus(OwnReader, u"mixed.opus", chained(stereoChain, twelve));
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(DecodeAllGuarded(mixed, 2, 999).samples.size(), 2u * 50000u);
    mixed->Release();

    // Multiplexed: the pages of `twelve` and `clicks` taken in turn, first pages first.
    std::vector<std::size_t> a = OggPageOffsets(twelve), b = OggPageOffsets(clicks);
    a.push_back(twelve.size());
    b.push_back(clicks.size());
    Bytes muxed;
    for (std::size_t i = 0; i + 1 < std::max(a.size(), b.size()); ++i) {
        muxed.insert(muxed.end(), twelve.begin() + a[std::min(i, a.size() - 1)], twelve.begin() + a[std::min(i + 1, a.size() - 1)]);
        muxed.insert(muxed.end(), clicks.begin() + b[std::min(i, b.size() - 1)], clicks.begin() + b[std::min(i + 1, b.size() - 1)]);
    }
    host::StreamFaults live; // a stream fed in small pieces that cannot seek
    live.failSeek = true;
    live.maxBytesPerRead = 333;
    const std::pair<Bytes, host::StreamFaults> streams[] = {{twelve, {}}, {chained(twelve, tones), {}}, {muxed, {}}, {twelve, live}};
    std::vector<float> reference; // the first, alone
    for (const auto& [bytes, faults] : streams) {
        IHSSWaveDecoder* decoder = OpenOpus(Automatic, u"twelve.opus", bytes, faults);
        ASSERT_NE(decoder, nullptr);
        const HSSWaveFormat format = FormatOf(decoder);
        EXPECT_EQ(std::pair(format.channelCount, format.totalSamples), std::pair(12u, std::uint64_t{faults.failSeek ? 0u : 9600u}));
        const std::vector<float> samples = DecodeAllGuarded(decoder, 12).samples;
        reference = reference.empty() ? samples : reference;
        EXPECT_TRUE(SameBits(samples, reference)) << "the other stream's pages leaked in";
        EXPECT_EQ(decoder->SetPosition(4321), faults.failSeek ? E_FAIL : S_OK);
        decoder->Release();
    }
}

// Hostile input opens or not as it must; whatever opens plays to a clean end
// without overrunning the caller's buffer, and no more than the stream holds.
TEST_F(OpusOwnReaderTest, HostileInputFailsOrRecoversCleanly)
{
    const std::size_t all = 12 * 24000;
    const Bytes good = TonesFile(12, 24000);
    const std::vector<std::size_t> pages = OggPageOffsets(good);
    const auto plays = [](IHSSWaveDecoder* decoder, std::size_t atLeast, std::size_t atMost) {
        ASSERT_NE(decoder, nullptr);
        const Decoded decoded = DecodeAllGuarded(decoder, 12);
        EXPECT_GE(decoded.samples.size(), atLeast);
        EXPECT_LE(decoded.samples.size(), atMost);
        EXPECT_EQ(decoded.lastStatus, 0u);
        decoder->Release();
    };
    // Nothing, or cut anywhere: inside the headers (before the third page) it
    // does not open; later it plays what is there.
    EXPECT_EQ(OpenOpus(OwnReader, u"empty.opus", {}), nullptr);
    for (std::size_t cut = 1; cut < good.size(); cut += good.size() / 37) {
        IHSSWaveDecoder* decoder = OpenOpus(Automatic, u"cut.opus", Bytes(good.begin(), good.begin() + cut));
        EXPECT_EQ(decoder != nullptr, cut >= pages[2]) << cut;
        if (decoder)
            plays(decoder, 0, all);
    }
    // A damaged page in the middle is skipped and decoding goes on; after a
    // read failure half-way (its bytes lost too) what came before plays.
    Bytes holed = good;
    for (std::size_t i = holed.size() / 2; i < holed.size() / 2 + 16; ++i)
        holed[i] ^= 0x5A;
    plays(OpenOpus(Automatic, u"holed.opus", holed), all / 2, all - 1);
    host::StreamFaults failing;
    failing.failReadsAt = good.size() / 2;
    plays(OpenOpus(Automatic, u"failing.opus", good, failing), 1, all - 1);

    // More streams than channels is refused; a header whose packets hold
    // another number of streams makes libopus refuse the packets.
    const auto rewriteTable = [](Bytes bytes, int streams, int coupled) {
        EditOggPages(bytes, [&](int index, ogg_page& page) {
            if (index == 0) {
                page.body[19] = static_cast<unsigned char>(streams);
                page.body[20] = static_cast<unsigned char>(coupled);
            }
            return index == 0;
        });
        return bytes;
    };
    testaudio::OpusOptions family1 = ShortPages();
    family1.mappingFamily = 1;
    EXPECT_EQ(OpenOpus(OwnReader, u"streams.opus", rewriteTable(good, 13, 0)), nullptr);
    EXPECT_EQ(OpenOpus(OwnReader, u"streams.opus", rewriteTable(TonesFile(2, 9600, nullptr, family1), 3, 0)), nullptr);
    for (const auto& [streams, coupled] : {std::pair{11, 1}, std::pair{6, 6}, std::pair{1, 0}}) {
        if (IHSSWaveDecoder* decoder = OpenOpus(Automatic, u"table.opus", rewriteTable(good, streams, coupled)))
            plays(decoder, 0, all);
    }
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
