// The own Ogg Opus reader: streams opusfile refuses (more than eight
// channels), agreement with opusfile where both play, seeking, chained links
// and damaged input.
#include "DecoderTestSupport.h"
#include "OggPageEditing.h"

#include <sound/BasicHSSModule.h>

#include <algorithm>
#include <cstring>
#include <random>

using testaudio::EncodeOpus;
using testaudio::Synthesize;

namespace {

constexpr float kCanary = 12345.0f;

// Each channel carries its own tone strongly and its neighbours' tones
// hardly: cheap enough for 255 channels (a swapped or misplaced channel
// lacks its own tone).
void ExpectChannelsCarryTheirToneNotTheirNeighbours(const std::vector<float>& samples,
                                                    const testaudio::SignalSpec& shape)
{
    const auto channels = static_cast<std::uint32_t>(shape.channels.size());
    for (std::uint32_t c = 0; c < channels; ++c) {
        const double own = TonePower(samples, channels, c, shape.channels[c].frequency, 48000);
        EXPECT_GT(own, 0.004) << "channel " << c << " lost its tone (0.0156 when whole)";
        for (std::uint32_t other : {c - 1, c + 1}) {
            if (other < channels) {
                EXPECT_GT(own, 20 * TonePower(samples, channels, c, shape.channels[other].frequency, 48000))
                    << "channel " << c << " carries the tone of channel " << other;
            }
        }
    }
}

HSSWaveFormat FormatOf(IHSSWaveDecoder* decoder)
{
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    return format;
}

// Renders in blocks of `block` frames into a buffer followed by canaries,
// and checks after each call that no sample was written past the block.
Decoded DecodeAllGuarded(IHSSWaveDecoder* decoder, std::uint32_t channels, std::uint32_t block)
{
    Decoded out;
    const std::size_t room = static_cast<std::size_t>(block) * channels;
    std::vector<float> buffer(room + 64, kCanary);
    for (int calls = 0; calls < 100000; ++calls) {
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        if (decoder->Render(buffer.data(), block, &rendered, &status) != S_OK)
            break;
        EXPECT_LE(rendered, block);
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(room), buffer.end(),
                                [](float v) { return v == kCanary; }))
            << "the decoder wrote past the caller's buffer";
        out.samples.insert(out.samples.end(), buffer.begin(),
                           buffer.begin() + static_cast<std::ptrdiff_t>(std::min(rendered, block) * channels));
        out.lastStatus = status;
        if (status == 0)
            break;
    }
    return out;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

std::vector<std::uint8_t> Concatenated(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The pages of `a` and `b` taken in turn (first pages first, as Ogg wants):
// two logical streams multiplexed in one link.
std::vector<std::uint8_t> Interleaved(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const auto pagesOf = [](const std::vector<std::uint8_t>& bytes) {
        std::vector<std::size_t> bounds = OggPageOffsets(bytes);
        bounds.push_back(bytes.size());
        return bounds;
    };
    const std::vector<std::size_t> pagesA = pagesOf(a);
    const std::vector<std::size_t> pagesB = pagesOf(b);
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < std::max(pagesA.size(), pagesB.size()); ++i) {
        if (i + 1 < pagesA.size())
            out.insert(out.end(), a.begin() + static_cast<std::ptrdiff_t>(pagesA[i]),
                       a.begin() + static_cast<std::ptrdiff_t>(pagesA[i + 1]));
        if (i + 1 < pagesB.size())
            out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(pagesB[i]),
                       b.begin() + static_cast<std::ptrdiff_t>(pagesB[i + 1]));
    }
    return out;
}

float LargestDifference(const float* a, const float* b, std::size_t count)
{
    float worst = 0.0f;
    for (std::size_t i = 0; i < count; ++i)
        worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

} // namespace

using OpusOwnReaderTest = BuiltinDecoderTest;

TEST_F(OpusOwnReaderTest, SourcesBeyondEightChannelsDeliverEveryChannelInOrder)
{
    struct Case {
        std::uint32_t channels;
        std::uint64_t frames;
        std::uint32_t milliseconds;
    };
    for (const Case& c : {Case{12, 48000, 1000}, Case{255, 9600, 200}}) {
        SCOPED_TRACE(c.channels);
        testaudio::SignalSpec shape;
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"many.opus", TonesFile(c.channels, c.frames, &shape));
        ASSERT_NE(decoder, nullptr) << "the module did not open a family-255 stream";
        const HSSWaveFormat format = FormatOf(decoder);
        EXPECT_EQ(format.sampleRate, 48000u);
        EXPECT_EQ(format.channelCount, c.channels);
        EXPECT_EQ(format.sampleFormat, 0x10020u);
        EXPECT_EQ(format.seekCapability, 2u);
        EXPECT_EQ(format.totalSamples, c.frames);
        EXPECT_EQ(format.totalMilliseconds, c.milliseconds);

        const Decoded decoded = DecodeAllGuarded(decoder, c.channels, 1000);
        ASSERT_EQ(decoded.samples.size(), c.frames * c.channels);
        EXPECT_EQ(decoded.lastStatus, 0u);
        if (c.channels <= 16)
            ExpectEachChannelCarriesItsOwnTone(decoded.samples, shape, 48000);
        else
            ExpectChannelsCarryTheirToneNotTheirNeighbours(decoded.samples, shape);
        decoder->Release();
    }
}

TEST_F(OpusOwnReaderTest, StraightDecodeEqualsOpusfileBitForBitInEveryGainMode)
{
    struct File {
        std::uint32_t channels;
        int family;
        bool malformedTags;
    };
    struct Gain {
        bool query;
        std::int32_t mode;
        float db;
    };
    const Gain gains[] = {{false, 0, 0.0f},       {true, kGainModeNone, -6.5f}, {true, kGainModeTrack, -6.5f},
                          {true, kGainModeAlbum, 2.25f}, {true, kGainModeNoAnswer, 9.0f},
                          {true, kGainModeTrack, 200.0f}, {true, kGainModeAlbum, -300.0f}};
    for (const File& file : {File{1, 0, false}, File{1, 1, false}, File{2, 0, false}, File{2, 1, false},
                             File{8, 1, false}, File{2, 1, true}}) {
        SCOPED_TRACE(testing::Message() << file.channels << " channels, family " << file.family
                                        << (file.malformedTags ? ", malformed tags" : ""));
        testaudio::OpusOptions options = ShortPages();
        options.mappingFamily = file.family;
        options.headerGainQ8 = -700;
        if (file.malformedTags) {
            // The first valid tag of each name counts; an out-of-range album
            // tag counts as none.
            options.comments = {{"R128_TRACK_GAIN", "1.5"}, {"r128_track_gain", "+0300"},
                                {"R128_ALBUM_GAIN", "40000"}};
        } else {
            options.r128TrackGainQ8 = 1100;
            options.r128AlbumGainQ8 = -2300;
        }
        // Not a whole number of packets: the end is trimmed inside one.
        const auto bytes = TonesFile(file.channels, 24000 + 123, nullptr, options);
        std::vector<double> levels;
        for (const Gain& gain : gains) {
            SCOPED_TRACE(testing::Message() << "gain mode " << gain.mode << " " << gain.db << " dB");
            ScriptedGainQuery query(gain.mode, gain.db);
            TheProcessState().opusGainQuery = gain.query ? &query : nullptr;
            IHSSWaveDecoder* opusfile = OpenOpus(OpusDecodingPath::Automatic, u"same.opus", bytes);
            IHSSWaveDecoder* own = OpenOpus(OpusDecodingPath::OwnReader, u"same.opus", bytes);
            TheProcessState().opusGainQuery = nullptr;
            ASSERT_NE(opusfile, nullptr);
            ASSERT_NE(own, nullptr);
            const HSSWaveFormat expected = FormatOf(opusfile);
            const HSSWaveFormat got = FormatOf(own);
            EXPECT_EQ(std::memcmp(&expected, &got, sizeof expected), 0) << "the format records differ";
            EXPECT_EQ(got.totalSamples, 24123u);
            // Blocks of 1000 frames split packets between calls.
            const Decoded reference = DecodeAll(opusfile, file.channels, 1000);
            const Decoded decoded = DecodeAll(own, file.channels, 1000);
            ASSERT_EQ(reference.samples.size(), 24123u * file.channels);
            EXPECT_TRUE(SameBits(reference.samples, decoded.samples)) << "the own reader decodes other samples";
            levels.push_back(Rms(decoded.samples));
            opusfile->Release();
            own->Release();
        }
        // The gains did change the output, so the comparison covered them.
        EXPECT_NE(levels[1], levels[2]);
        EXPECT_NE(levels[2], levels[3]);
    }
}

TEST_F(OpusOwnReaderTest, SeeksLandOnTheExactSampleAndAgreeWithAStraightDecode)
{
    const std::uint64_t frames = 120000;
    const std::vector<std::uint64_t> clicks = {9001, 23456, 40000, 71111, 95000, 117777};
    struct Case {
        std::uint32_t channels;
        int maxPageDuration;
        OpusDecodingPath path;
    };
    // Pages of one second, of one packet, and a family-255 stream that only
    // the own reader plays.
    for (const Case& c : {Case{2, 48000, OpusDecodingPath::OwnReader}, Case{2, 960, OpusDecodingPath::OwnReader},
                          Case{12, 4800, OpusDecodingPath::Automatic}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, pages of " << c.maxPageDuration);
        testaudio::OpusOptions options;
        options.maxPageDuration = c.maxPageDuration;
        const auto bytes = EncodeOpus(Synthesize(ClickSpec(frames, clicks, c.channels)), c.channels, 48000, options);
        IHSSWaveDecoder* decoder = OpenOpus(c.path, u"clicks.opus", bytes);
        ASSERT_NE(decoder, nullptr);
        const std::uint32_t ch = c.channels;
        const std::vector<float> straight = DecodeAll(decoder, ch).samples;
        ASSERT_EQ(straight.size(), frames * ch);

        std::mt19937 random(20240611);
        std::vector<float> block(400 * ch);
        for (std::uint64_t click : clicks) {
            SCOPED_TRACE(click);
            const std::size_t peak = PeakFrame(straight, ch, click - 50, std::min(click + 50, frames));
            ASSERT_LE(peak > click ? peak - click : click - peak, 2u) << "the click moved in coding";
            for (int i = 0; i < 3; ++i) {
                const std::uint64_t before = std::uniform_int_distribution<std::uint64_t>(0, 399)(random);
                const std::uint64_t target = peak - before;
                ASSERT_EQ(decoder->SetPosition(target), S_OK);
                std::uint32_t rendered = 0;
                ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
                const std::size_t expected = std::min<std::uint64_t>(400, frames - target);
                ASSERT_EQ(rendered, expected);
                EXPECT_EQ(PeakFrame(block, ch, 0, expected), before) << "the seek to " << target << " landed off";
                // After the pre-roll the decoder has all but converged to the
                // straight decode's state.
                EXPECT_LT(LargestDifference(block.data(), straight.data() + target * ch, expected * ch), 0.05f);
            }
        }
        // Random places, read on to the end: the end is trimmed as before.
        for (int i = 0; i < 6; ++i) {
            const std::uint64_t target = std::uniform_int_distribution<std::uint64_t>(0, frames - 1)(random);
            SCOPED_TRACE(target);
            ASSERT_EQ(decoder->SetPosition(target), S_OK);
            const std::vector<float> rest = DecodeAll(decoder, ch, 777).samples;
            ASSERT_EQ(rest.size(), (frames - target) * ch);
            EXPECT_LT(LargestDifference(rest.data(), straight.data() + target * ch, rest.size()), 0.05f);
        }
        // Back to the start: the same samples as the straight decode.
        ASSERT_EQ(decoder->SetPosition(0), S_OK);
        const std::vector<float> again = DecodeAll(decoder, ch).samples;
        EXPECT_TRUE(SameBits(again, straight));
        // The last frame, and past the end.
        ASSERT_EQ(decoder->SetPosition(frames - 1), S_OK);
        std::uint32_t rendered = 0;
        std::uint32_t status = 1;
        ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, &status), S_OK);
        EXPECT_EQ(rendered, 1u);
        EXPECT_EQ(status, 0u);
        EXPECT_EQ(decoder->SetPosition(frames), E_FAIL);
        EXPECT_EQ(decoder->SetPosition(~0ull), E_FAIL);
        EXPECT_EQ(decoder->SetPosition(1000), S_OK) << "a refused seek leaves the source usable";
        decoder->Release();
    }
}

TEST_F(OpusOwnReaderTest, ChainedLinksPlayInTurnUntilOneWithAnotherChannelCount)
{
    testaudio::OpusOptions first = ShortPages();
    first.serialNumber = 1;
    testaudio::OpusOptions second = ShortPages();
    second.serialNumber = 2;
    second.headerGainQ8 = -512;
    second.mappingFamily = 0; // another layout: the decoder is made anew
    testaudio::OpusOptions third = ShortPages();
    third.serialNumber = 3;
    const auto tones = TonesFile(2, 30000, nullptr, first);
    const auto clicks = EncodeOpus(Synthesize(ClickSpec(20000, {10000}, 2)), 2, 48000, second);
    const auto twelve = TonesFile(12, 9600, nullptr, third);

    // Two stereo links: the same samples as opusfile, one after the other.
    const auto stereoChain = Concatenated(tones, clicks);
    IHSSWaveDecoder* opusfile = OpenOpus(OpusDecodingPath::Automatic, u"chain.opus", stereoChain);
    IHSSWaveDecoder* own = OpenOpus(OpusDecodingPath::OwnReader, u"chain.opus", stereoChain);
    ASSERT_NE(opusfile, nullptr);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(FormatOf(own).totalSamples, 50000u);
    const std::vector<float> reference = DecodeAll(opusfile, 2, 1000).samples;
    const std::vector<float> decoded = DecodeAll(own, 2, 1000).samples;
    ASSERT_EQ(reference.size(), 2u * 50000u);
    EXPECT_TRUE(SameBits(reference, decoded));
    // A seek into the second link lands on its click.
    const std::size_t click = PeakFrame(decoded, 2, 39900, 40100);
    ASSERT_EQ(own->SetPosition(click - 123), S_OK);
    std::vector<float> block(2 * 400);
    std::uint32_t rendered = 0;
    ASSERT_EQ(own->Render(block.data(), 400, &rendered, nullptr), S_OK);
    ASSERT_EQ(rendered, 400u);
    EXPECT_EQ(PeakFrame(block, 2, 0, 400), 123u);
    opusfile->Release();
    own->Release();

    // A link with another channel count ends the stream, and nothing of it
    // lands past the caller's buffer.
    for (OpusDecodingPath path : {OpusDecodingPath::Automatic, OpusDecodingPath::OwnReader}) {
        SCOPED_TRACE(static_cast<int>(path));
        IHSSWaveDecoder* decoder = OpenOpus(path, u"mixed.opus", Concatenated(stereoChain, twelve));
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(DecodeAllGuarded(decoder, 2, 999).samples.size(), 2u * 50000u);
        decoder->Release();
    }
    IHSSWaveDecoder* wide = OpenOpus(OpusDecodingPath::Automatic, u"wide.opus", Concatenated(twelve, tones));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(FormatOf(wide).channelCount, 12u);
    EXPECT_EQ(FormatOf(wide).totalSamples, 9600u);
    EXPECT_EQ(DecodeAllGuarded(wide, 12, 1000).samples.size(), 12u * 9600u);
    wide->Release();
}

TEST_F(OpusOwnReaderTest, OfTwoMultiplexedStreamsTheFirstOpusStreamPlays)
{
    testaudio::OpusOptions other = ShortPages();
    other.serialNumber = 77;
    const auto twelve = TonesFile(12, 9600);
    const auto stereo = TonesFile(2, 20000, nullptr, other);
    IHSSWaveDecoder* alone = OpenOpus(OpusDecodingPath::Automatic, u"alone.opus", twelve);
    ASSERT_NE(alone, nullptr);
    const std::vector<float> reference = DecodeAll(alone, 12).samples;
    alone->Release();

    IHSSWaveDecoder* decoder = OpenOpus(OpusDecodingPath::Automatic, u"muxed.opus", Interleaved(twelve, stereo));
    ASSERT_NE(decoder, nullptr);
    const HSSWaveFormat format = FormatOf(decoder);
    EXPECT_EQ(format.channelCount, 12u);
    EXPECT_EQ(format.totalSamples, 9600u);
    EXPECT_TRUE(SameBits(DecodeAll(decoder, 12, 1000).samples, reference)) << "the other stream's pages leaked in";
    ASSERT_EQ(decoder->SetPosition(4321), S_OK);
    EXPECT_EQ(DecodeAll(decoder, 12, 1000).samples.size(), 12u * (9600u - 4321u));
    decoder->Release();
}

TEST_F(OpusOwnReaderTest, AnUnseekableStreamPlaysStraightThroughWithoutLength)
{
    const auto bytes = TonesFile(12, 24000);
    IHSSWaveDecoder* seekable = Open(BuiltinDecoderKind::Opus, u"file.opus", bytes);
    ASSERT_NE(seekable, nullptr);
    const std::vector<float> reference = DecodeAll(seekable, 12).samples;
    seekable->Release();

    host::StreamFaults faults;
    faults.failSeek = true;
    faults.maxBytesPerRead = 333; // a stream fed in small pieces
    for (OpusDecodingPath path : {OpusDecodingPath::Automatic, OpusDecodingPath::OwnReader}) {
        SCOPED_TRACE(static_cast<int>(path));
        IHSSWaveDecoder* decoder = OpenOpus(path, u"live.opus", bytes, faults);
        ASSERT_NE(decoder, nullptr);
        const HSSWaveFormat format = FormatOf(decoder);
        EXPECT_EQ(format.channelCount, 12u);
        EXPECT_EQ(format.totalSamples, 0u);
        EXPECT_EQ(format.totalMilliseconds, 0u);
        EXPECT_EQ(decoder->SetPosition(100), E_FAIL);
        EXPECT_TRUE(SameBits(DecodeAll(decoder, 12).samples, reference));
        decoder->Release();
    }
}

TEST_F(OpusOwnReaderTest, DamagedInputFailsOrRecoversCleanly)
{
    const std::uint64_t frames = 24000;
    const auto good = TonesFile(12, frames);
    const std::vector<std::size_t> pages = OggPageOffsets(good);
    ASSERT_GT(pages.size(), 5u);
    const std::size_t audioStart = pages[2]; // after the ID and comment header pages

    // Nothing at all.
    EXPECT_EQ(Open(BuiltinDecoderKind::Opus, u"empty.opus", {}), nullptr);
    EXPECT_EQ(OpenOpus(OpusDecodingPath::OwnReader, u"empty.opus", {}), nullptr);

    // Cut anywhere: inside the headers it does not open; later it plays what
    // is there and no more.
    for (std::size_t cut = 1; cut < good.size(); cut += good.size() / 37) {
        SCOPED_TRACE(cut);
        IHSSWaveDecoder* decoder =
            Open(BuiltinDecoderKind::Opus, u"cut.opus", std::vector<std::uint8_t>(good.begin(), good.begin() + cut));
        if (cut < audioStart) {
            EXPECT_EQ(decoder, nullptr);
            continue;
        }
        ASSERT_NE(decoder, nullptr);
        EXPECT_LE(FormatOf(decoder).totalSamples, frames);
        EXPECT_LE(DecodeAllGuarded(decoder, 12, 1000).samples.size(), frames * 12);
        decoder->Release();
    }

    // A damaged page in the middle is skipped and decoding goes on.
    auto holed = good;
    for (std::size_t i = holed.size() / 2; i < holed.size() / 2 + 16; ++i)
        holed[i] ^= 0x5A;
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"hole.opus", holed);
    ASSERT_NE(decoder, nullptr);
    const Decoded decoded = DecodeAllGuarded(decoder, 12, 1000);
    EXPECT_GT(decoded.samples.size(), frames * 12 / 2) << "decoding goes on after the hole";
    EXPECT_LT(decoded.samples.size(), frames * 12);
    EXPECT_EQ(decoded.lastStatus, 0u);
    decoder->Release();

    // A read failure half-way (the failing read's bytes are lost too): what
    // came before plays.
    host::StreamFaults faults;
    faults.failReadsAt = good.size() / 2;
    decoder = Open(BuiltinDecoderKind::Opus, u"failing.opus", good, faults);
    ASSERT_NE(decoder, nullptr);
    const std::size_t played = DecodeAllGuarded(decoder, 12, 1000).samples.size();
    EXPECT_GT(played, 0u);
    EXPECT_LT(played, frames * 12);
    EXPECT_EQ(played, FormatOf(decoder).totalSamples * 12) << "the length counts the pages that could be read";
    decoder->Release();
}

TEST_F(OpusOwnReaderTest, HeadersThatDisagreeWithTheirPacketsAreRefusedOrSurvived)
{
    const auto twelve = TonesFile(12, 9600);
    const auto rewriteTable = [](std::vector<std::uint8_t> bytes, int streams, int coupled) {
        EditOggPages(bytes, [&](int index, ogg_page& page) {
            if (index != 0)
                return false;
            page.body[19] = static_cast<unsigned char>(streams);
            page.body[20] = static_cast<unsigned char>(coupled);
            return true;
        });
        return bytes;
    };
    // More streams than channels: refused on both paths.
    EXPECT_EQ(Open(BuiltinDecoderKind::Opus, u"streams.opus", rewriteTable(twelve, 13, 0)), nullptr);
    EXPECT_EQ(OpenOpus(OpusDecodingPath::OwnReader, u"streams.opus", rewriteTable(twelve, 13, 0)), nullptr);
    testaudio::OpusOptions family1 = ShortPages();
    family1.mappingFamily = 1;
    EXPECT_EQ(OpenOpus(OpusDecodingPath::OwnReader, u"streams.opus", rewriteTable(TonesFile(2, 9600, nullptr, family1), 3, 0)),
              nullptr);

    // A sound header whose packets hold another number of streams: libopus
    // refuses the packets, and the decoder ends without harm.
    for (const auto& [streams, coupled] : {std::pair{11, 1}, std::pair{6, 6}, std::pair{1, 0}}) {
        SCOPED_TRACE(testing::Message() << streams << " streams, " << coupled << " coupled");
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"table.opus", rewriteTable(twelve, streams, coupled));
        if (decoder) {
            EXPECT_LE(DecodeAllGuarded(decoder, 12, 1000).samples.size(), 12u * 9600u);
            decoder->Release();
        }
    }

    // Garbled packets behind valid checksums: whatever libopus makes of them,
    // no more than the stream's length comes out and nothing is overrun.
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        auto garbled = twelve;
        std::mt19937 random(seed);
        EditOggPages(garbled, [&](int index, ogg_page& page) {
            if (index < 2 || page.body_len == 0)
                return false;
            for (int i = 0; i < 8; ++i)
                page.body[std::uniform_int_distribution<long>(0, page.body_len - 1)(random)] ^=
                    static_cast<unsigned char>(1u << (i % 8));
            return true;
        });
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"garbled.opus", garbled);
        ASSERT_NE(decoder, nullptr);
        EXPECT_LE(DecodeAllGuarded(decoder, 12, 1000).samples.size(), 12u * 9600u);
        EXPECT_EQ(decoder->SetPosition(5000), S_OK);
        EXPECT_LE(DecodeAllGuarded(decoder, 12, 1000).samples.size(), 12u * 4600u);
        decoder->Release();
    }
}
