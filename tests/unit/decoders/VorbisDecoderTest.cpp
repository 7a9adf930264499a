#include "DecoderTestSupport.h"

#include <decoders/SimpleVorbisDecoder.h>

using testaudio::EncodeVorbis;
using testaudio::Synthesize;

namespace {

std::vector<std::uint8_t> NoiseFile(std::uint32_t channels, std::uint32_t rate, std::uint64_t frames,
                                    const testaudio::VorbisOptions& options = {})
{
    testaudio::SignalSpec shape;
    shape.sampleRate = rate;
    shape.frames = frames;
    for (std::uint32_t c = 0; c < channels; ++c)
        shape.channels.push_back({testaudio::Waveform::Noise, 0.0, 0.3f, 11 + c});
    return EncodeVorbis(Synthesize(shape), channels, rate, options);
}

} // namespace

using VorbisDecoderTest = BuiltinDecoderTest;

TEST_F(VorbisDecoderTest, ReportsRateChannelsAndLength)
{
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Vorbis, u"ten.ogg", NoiseFile(2, 44100, 441000));
    ASSERT_NE(decoder, nullptr);
    HSSWaveFormat format{};
    ASSERT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.sampleRate, 44100u);
    EXPECT_EQ(format.channelCount, 2u);
    EXPECT_EQ(format.sampleFormat, 0x10020u);
    EXPECT_EQ(format.seekCapability, 2u);
    EXPECT_EQ(format.totalSamples, 441000u);
    EXPECT_EQ(format.totalMilliseconds, 10000u);
    decoder->Release();
}

TEST_F(VorbisDecoderTest, DeliversChannelsInOrderAndEndsWithTheShortBlock)
{
    const std::uint32_t channels = 6;
    const testaudio::SignalSpec shape = testaudio::DistinctTones(channels, 22050, 22050);
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Vorbis, u"six.ogg",
                                    EncodeVorbis(Synthesize(shape), channels, 22050));
    ASSERT_NE(decoder, nullptr);
    const Decoded decoded = DecodeAll(decoder, channels, 4096);
    ASSERT_EQ(decoded.samples.size(), 22050u * channels);
    EXPECT_EQ(decoded.lastStatus, 0u);
    ExpectEachChannelCarriesItsOwnTone(decoded.samples, shape, 22050);
    std::vector<float> buffer(channels * 16);
    std::uint32_t rendered = 5;
    std::uint32_t status = 5;
    EXPECT_EQ(decoder->Render(buffer.data(), 16, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);
    decoder->Release();
}

TEST_F(VorbisDecoderTest, ASeekGivesTheSamplesOfAStraightDecode)
{
    const auto bytes = NoiseFile(2, 48000, 96000);
    IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Vorbis, u"seek.ogg", bytes);
    ASSERT_NE(decoder, nullptr);
    const std::vector<float> straight = DecodeAll(decoder, 2).samples;
    ASSERT_EQ(straight.size(), 2u * 96000u);
    std::vector<float> block(2 * 1000);
    for (std::uint64_t target : {0ull, 1ull, 4095ull, 33333ull, 50000ull, 95000ull}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(decoder->SetPosition(target), S_OK);
        std::uint32_t rendered = 0;
        ASSERT_EQ(decoder->Render(block.data(), 1000, &rendered, nullptr), S_OK);
        ASSERT_EQ(rendered, std::min<std::uint64_t>(1000, 96000 - target));
        for (std::size_t i = 0; i < rendered * 2u; ++i)
            ASSERT_NEAR(block[i], straight[target * 2 + i], 1e-6f) << "sample " << i;
    }
    EXPECT_EQ(decoder->SetPosition(96001), E_FAIL);
    decoder->Release();
}

TEST_F(VorbisDecoderTest, TheGainQueryAnswerScalesEverySample)
{
    testaudio::VorbisOptions options;
    options.replayGainTrack = "-3.00 dB";
    options.replayGainAlbum = "+2.5 dB";
    const auto bytes = NoiseFile(2, 44100, 20000, options);
    IHSSWaveDecoder* plain = Open(BuiltinDecoderKind::Vorbis, u"rg.ogg", bytes);
    ASSERT_NE(plain, nullptr);
    const std::vector<float> reference = DecodeAll(plain, 2).samples;
    plain->Release();

    const struct {
        std::int32_t mode;
        float db;
        double expectedDb;
    } cases[] = {
        {kGainModeNone, -6.0f, -6.0},
        {kGainModeTrack, 1.0f, 1.0 - 3.0},
        {kGainModeAlbum, 0.0f, 2.5},
        {kGainModeNoAnswer, -6.0f, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ScriptedGainQuery query(c.mode, c.db);
        TheProcessState().vorbisGainQuery = &query;
        IHSSWaveDecoder* decoder = Open(BuiltinDecoderKind::Vorbis, u"rg.ogg", bytes);
        TheProcessState().vorbisGainQuery = nullptr;
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(query.lastSource, u"rg.ogg");
        const float gain = static_cast<SimpleVorbisDecoder*>(decoder)->Gain();
        EXPECT_NEAR(gain, std::pow(10.0, c.expectedDb / 20.0), 1e-6);
        const std::vector<float> scaled = DecodeAll(decoder, 2).samples;
        ASSERT_EQ(scaled.size(), reference.size());
        for (std::size_t i = 0; i < scaled.size(); ++i)
            ASSERT_EQ(scaled[i], reference[i] * gain) << "sample " << i;
        decoder->Release();
    }
}

TEST(VorbisGain, TagsCountOnlyInTheirModeAndBadTextCountsAsZero)
{
    EXPECT_FLOAT_EQ(ParseReplayGainDb("-6.50 dB"), -6.5f);
    EXPECT_FLOAT_EQ(ParseReplayGainDb("+2.5dB"), 2.5f);
    EXPECT_FLOAT_EQ(ParseReplayGainDb("  4"), 4.0f);
    EXPECT_EQ(ParseReplayGainDb("loud"), 0.0f);
    EXPECT_EQ(ParseReplayGainDb(""), 0.0f);
    EXPECT_EQ(ParseReplayGainDb(nullptr), 0.0f);
    EXPECT_EQ(ParseReplayGainDb("nan"), 0.0f);

    EXPECT_FLOAT_EQ(VorbisGainFactor(kGainModeNone, -20.0f, "10 dB", "10 dB"), 0.1f);
    EXPECT_FLOAT_EQ(VorbisGainFactor(kGainModeTrack, 0.0f, "-20 dB", "+20 dB"), 0.1f);
    EXPECT_FLOAT_EQ(VorbisGainFactor(kGainModeAlbum, 0.0f, "-20 dB", "+20 dB"), 10.0f);
    EXPECT_FLOAT_EQ(VorbisGainFactor(kGainModeTrack, 6.0f, nullptr, nullptr), std::pow(10.0f, 0.3f));
    EXPECT_EQ(VorbisGainFactor(kGainModeNoAnswer, -20.0f, "1 dB", "1 dB"), 1.0f);
    EXPECT_EQ(VorbisGainFactor(5, -20.0f, "1 dB", "1 dB"), 1.0f);
    EXPECT_EQ(VorbisGainFactor(kGainModeNone, 1e30f, nullptr, nullptr), 1.0f) << "no infinite gain";
}

TEST_F(VorbisDecoderTest, BrokenFilesFailToOpen)
{
    const auto good = NoiseFile(1, 22050, 2205);
    const std::vector<std::vector<std::uint8_t>> broken = {
        {},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 50),
        std::vector<std::uint8_t>(3000, 0x20),
    };
    for (const auto& bytes : broken) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(Open(BuiltinDecoderKind::Vorbis, u"bad.ogg", bytes), nullptr);
    }
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    ASSERT_NE(TheProcessState().vorbisModule, nullptr);
    EXPECT_EQ(TheProcessState().vorbisModule->OpenMediaInstance(u"nowhere.ogg", &decoder), STG_E_FILENOTFOUND);
    EXPECT_EQ(decoder, nullptr);
}
