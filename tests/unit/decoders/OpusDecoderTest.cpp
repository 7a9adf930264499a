#include "DecoderTestSupport.h"

#include <sound/BasicHSSModule.h>

#include <algorithm>

using testaudio::EncodeOpus;
using testaudio::Synthesize;

using OpusDecoderTest = BuiltinDecoderTest;

TEST_F(OpusDecoderTest, DeliversEveryChannelInOrderWithTheRightFormat)
{
    for (std::uint32_t channels : {1u, 2u, 8u}) {
        SCOPED_TRACE(channels);
        testaudio::SignalSpec shape;
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"tones.opus", TonesFile(channels, 48000, &shape));
        ASSERT_NE(decoder, nullptr);
        HSSWaveFormat format{};
        ASSERT_EQ(decoder->GetFormat(&format), S_OK);
        EXPECT_EQ(format.sampleRate, 48000u);
        EXPECT_EQ(format.channelCount, channels);
        EXPECT_EQ(format.sampleFormat, 0x10020u);
        EXPECT_EQ(format.seekCapability, 2u);
        EXPECT_EQ(format.totalSamples, 48000u);
        EXPECT_EQ(format.totalMilliseconds, 1000u);
        EXPECT_EQ(format.reserved[0] | format.reserved[1] | format.reserved[2], 0u);

        const Decoded decoded = DecodeAll(decoder, channels);
        ASSERT_EQ(decoded.samples.size(), 48000u * channels);
        ExpectEachChannelCarriesItsOwnTone(decoded.samples, shape, 48000);
        decoder->Release();
    }
}

TEST_F(OpusDecoderTest, RendersTheShortBlockThenReportsTheEnd)
{
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"a.opus", TonesFile(2, 10000));
    ASSERT_NE(decoder, nullptr);
    std::vector<float> buffer(2 * 4096);
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
    for (int block = 0; block < 2; ++block) {
        ASSERT_EQ(decoder->Render(buffer.data(), 4096, &rendered, &status), S_OK);
        EXPECT_EQ(rendered, 4096u);
        EXPECT_EQ(status, 1u);
    }
    ASSERT_EQ(decoder->Render(buffer.data(), 4096, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 10000u - 8192u);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(decoder->Render(buffer.data(), 4096, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);
    decoder->Release();
}

TEST_F(OpusDecoderTest, SeeksLandOnTheExactSampleAndAgreeWithAStraightDecode)
{
    const std::vector<std::uint64_t> clicks = {9001, 23456, 40000, 71111, 95000};
    const auto bytes = EncodeOpus(Synthesize(ClickSpec(120000, clicks)), 1, 48000);
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"clicks.opus", bytes);
    ASSERT_NE(decoder, nullptr);
    const std::vector<float> straight = DecodeAll(decoder, 1).samples;
    ASSERT_EQ(straight.size(), 120000u);

    std::vector<float> block(400);
    for (std::uint64_t click : clicks) {
        SCOPED_TRACE(click);
        // The click survives coding at (or right next to) its frame.
        const std::size_t peak = PeakFrame(straight, 1, click - 50, click + 50);
        EXPECT_LE(peak > click ? peak - click : click - peak, 2u);

        const std::uint64_t target = peak - 200;
        ASSERT_EQ(decoder->SetPosition(target), S_OK);
        std::uint32_t rendered = 0;
        ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
        ASSERT_EQ(rendered, 400u);
        EXPECT_EQ(PeakFrame(block, 1, 0, 400), 200u) << "the seek landed off the target";
        // After the pre-roll the decoder state has nearly converged to that of
        // the straight decode: within a few percent of the 0.9 click.
        float worst = 0.0f;
        for (std::size_t i = 0; i < 400; ++i)
            worst = std::max(worst, std::fabs(block[i] - straight[target + i]));
        EXPECT_LT(worst, 0.05f);
    }
    // Seeking back to 0 and past the end.
    EXPECT_EQ(decoder->SetPosition(0), S_OK);
    std::uint32_t rendered = 0;
    ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
    for (std::size_t i = 0; i < 400; ++i)
        ASSERT_NEAR(block[i], straight[i], 1e-6f);
    EXPECT_EQ(decoder->SetPosition(10'000'000), E_FAIL);
    EXPECT_EQ(decoder->SetPosition(~0ull), E_FAIL);
    // A refused seek leaves the source open and playing.
    EXPECT_EQ(decoder->SetPosition(1000), S_OK);
    ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
    EXPECT_EQ(rendered, 400u);
    decoder->Release();
}

TEST_F(OpusDecoderTest, TheGainQueryAnswerSelectsTheGainAndOffset)
{
    testaudio::OpusOptions options = ShortPages();
    options.r128TrackGainQ8 = 1536; // +6 dB
    options.r128AlbumGainQ8 = -768; // -3 dB
    const auto bytes = TonesFile(2, 24000, nullptr, options);
    IHSSWaveDecoder* plain = Open(BuiltinDecoderKind::Opus, u"gain.opus", bytes);
    ASSERT_NE(plain, nullptr);
    const double reference = Rms(DecodeAll(plain, 2).samples);
    plain->Release();
    ASSERT_GT(reference, 0.05);

    const struct {
        std::int32_t mode;
        float db;
        double expectedDb;
    } cases[] = {
        {kGainModeNone, -6.5f, -6.5},
        {kGainModeTrack, -6.5f, 6.0 - 6.5},
        {kGainModeAlbum, 2.0f, -3.0 + 2.0},
        {kGainModeNoAnswer, -20.0f, 0.0},
        {7, -20.0f, 0.0}, // an unknown mode changes nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ScriptedGainQuery query(c.mode, c.db);
        TheProcessState().opusGainQuery = &query;
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"gain.opus", bytes);
        TheProcessState().opusGainQuery = nullptr;
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(query.calls, 1);
        EXPECT_EQ(query.lastSource, u"gain.opus");
        const double ratio = Rms(DecodeAll(decoder, 2).samples) / reference;
        EXPECT_NEAR(20.0 * std::log10(ratio), c.expectedDb, 0.01);
        decoder->Release();
    }
}

TEST_F(OpusDecoderTest, AnUnseekableSourceReportsNoLengthAndStillPlays)
{
    host::StreamFaults faults;
    faults.failSeek = true;
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"live.opus", TonesFile(2, 9600), faults);
    ASSERT_NE(decoder, nullptr);
    HSSWaveFormat format{};
    ASSERT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.totalSamples, 0u) << "the library's negative error is not a length";
    EXPECT_EQ(format.totalMilliseconds, 0u);
    EXPECT_EQ(decoder->SetPosition(100), E_FAIL);
    EXPECT_EQ(DecodeAll(decoder, 2).samples.size(), 2u * 9600u);
    decoder->Release();
}

TEST_F(OpusDecoderTest, BrokenFilesFailToOpenAndTheModuleStays)
{
    const auto good = TonesFile(1, 9600);
    const std::vector<std::vector<std::uint8_t>> broken = {
        {},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 40), // inside the first header page
        std::vector<std::uint8_t>(4000, 0x4F),
        {'O', 'g', 'g', 'S', 0, 2, 0, 0},
    };
    for (const auto& bytes : broken) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(Open(BuiltinDecoderKind::Opus, u"bad.opus", bytes), nullptr);
    }
    IHSSModule* module = TheProcessState().opusModule;
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"missing.opus"), nullptr);
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(module->OpenMediaInstance(u"missing.opus", &decoder), STG_E_FILENOTFOUND);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(TheProcessState().opusModule, module);

    // A file cut in the middle of its audio opens and plays what is there.
    const auto big = TonesFile(1, 48000);
    IHSSWaveDecoder* cut = Open(BuiltinDecoderKind::Opus, u"cut.opus",
                                std::vector<std::uint8_t>(big.begin(), big.begin() + big.size() / 2));
    ASSERT_NE(cut, nullptr);
    const std::size_t frames = DecodeAll(cut, 1).samples.size();
    EXPECT_GT(frames, 10000u);
    EXPECT_LT(frames, 48000u);
    cut->Release();
}

TEST_F(OpusDecoderTest, ACorruptedPageInTheMiddleIsSkipped)
{
    auto bytes = TonesFile(1, 48000);
    // Damage bytes in the middle of the file: the page's checksum fails.
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i)
        bytes[i] ^= 0x5A;
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Opus, u"hole.opus", bytes);
    ASSERT_NE(decoder, nullptr);
    const Decoded decoded = DecodeAll(decoder, 1, 1000);
    EXPECT_GT(decoded.samples.size(), 30000u) << "decoding goes on after the hole";
    EXPECT_LT(decoded.samples.size(), 48000u);
    EXPECT_EQ(decoded.lastStatus, 0u);
    decoder->Release();
}
