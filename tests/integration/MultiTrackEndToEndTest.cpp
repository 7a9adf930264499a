// Track lists played through the shared library, as the engine plays them,
// against mixes the test computes itself from the stems it wrote, decoded
// with opusfile where they are Opus.
#include "ScriptTestSupport.h"

#include <host/TestAudio.h>
#include <host/WavWriter.h>

#include <opus/opusfile.h>

namespace scripttest {
namespace {

constexpr std::uint32_t kFrames = 48000;

std::vector<std::uint8_t> Tones(std::uint32_t channels, double baseHz)
{
    return testaudio::EncodeOpus(
        testaudio::Synthesize(testaudio::DistinctTones(channels, kFrames, kRate, baseHz)), channels,
        kRate);
}

// The frames of an Ogg Opus stream from `start` on, decoded by opusfile
// after a seek to `start`, as the plug-in's decoder does.
Samples DecodeOpus(const std::vector<std::uint8_t>& bytes, std::uint64_t start)
{
    int error = 0;
    OggOpusFile* file = op_open_memory(bytes.data(), bytes.size(), &error);
    if (!file) {
        ADD_FAILURE() << "opusfile cannot open the stem: " << error;
        return {};
    }
    const int channels = op_channel_count(file, -1);
    if (start > 0) {
        EXPECT_EQ(op_pcm_seek(file, static_cast<ogg_int64_t>(start)), 0);
    }
    Samples out((kFrames - start) * channels);
    std::size_t done = 0;
    while (done < out.size()) {
        const int n =
            op_read_float(file, out.data() + done, static_cast<int>(out.size() - done), nullptr);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n) * channels;
    }
    op_free(file);
    out.resize(done);
    return out;
}

using EndToEndTest = ScriptFaceTest;

TEST_F(EndToEndTest, AnMtrkListMixesABuiltInAndAModuleSourceFromAnyPosition)
{
    const auto drums = Tones(2, 150.0);
    const Samples keys = testaudio::Synthesize(testaudio::DistinctTones(2, kFrames, kRate, 170.0));
    storage->Add(u"drums.opus", drums);
    storage->Add(u"keys.wav", host::WriteWavFloat(keys, 2, kRate));
    Add(u"bgm.mtrk",
        std::string("drums\tdrums.opus\r\n# keys come through the module\r\nkeys\tkeys.wav\t") +
            VY_WAV_MODULE_PATH + "\r\n");
    for (const std::uint32_t start : {0u, 1u, 12345u, 47999u}) {
        SCOPED_TRACE(start);
        IHSSWaveDecoder* decoder = Open(u"bgm.mtrk");
        ASSERT_NE(decoder, nullptr);
        HSSWaveFormat format{};
        EXPECT_EQ(decoder->GetFormat(&format), S_OK);
        EXPECT_EQ(format.sampleRate, kRate);
        EXPECT_EQ(format.channelCount, 2u);
        EXPECT_EQ(format.sampleFormat, 0x10020u);
        EXPECT_EQ(format.totalSamples, kFrames);
        if (start > 0) {
            EXPECT_EQ(decoder->SetPosition(start), S_OK);
        }
        Samples mix = DecodeOpus(drums, start);
        ASSERT_EQ(mix.size(), (kFrames - start) * 2);
        for (std::size_t i = 0; i < mix.size(); ++i)
            mix[i] = mix[i] + keys[start * 2 + i];
        ExpectSameSamples(Render(decoder, kFrames, 777), mix);
        EXPECT_EQ(decoder->Release(), 0u);
    }
    EXPECT_TRUE(Lines().empty()) << "unlinked, the registry writes to no host log";
}

TEST_F(EndToEndTest, SixteenBitSourcesMixToFloatWithExactScaling)
{
    std::vector<std::int16_t> a(2 * 5000);
    std::vector<std::int16_t> b(2 * 5000);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
        b[i] = static_cast<std::int16_t>(i % 3 == 0 ? -32768 : 32767);
    }
    storage->Add(u"a.wav", host::WriteWav16(a, 2, 44100));
    storage->Add(u"b.wav", host::WriteWav16(b, 2, 44100));
    Add(u"pair.mtrk", std::string("a\ta.wav\t") + VY_WAV_MODULE_PATH + "\nb\tb.wav\n");
    IHSSWaveDecoder* decoder = Open(u"pair.mtrk");
    ASSERT_NE(decoder, nullptr);
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.sampleFormat, 0x10020u);
    EXPECT_EQ(format.sampleRate, 44100u);
    Samples mix(a.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        mix[i] = (0.0f + static_cast<float>(a[i]) * 3.0517578125e-05f) +
                 static_cast<float>(b[i]) * 3.0517578125e-05f;
    ExpectSameSamples(Render(decoder, 5000, 999), mix);
    EXPECT_EQ(decoder->Release(), 0u);
}

TEST_F(EndToEndTest, AnMchxListGathersTrackChannelsFromOneSource)
{
    const auto source = Tones(6, 300.0);
    storage->Add(u"stems.opus", source);
    Add(u"stems.mchx", "# front and a selection from the back\nchannel\t2\nsource\tstems.opus\n"
                       "track\tfront\t0\t1\ntrack\tback\t4\t3\nvolume\tBack\t0.5\n");
    const Samples decoded = DecodeOpus(source, 0);
    ASSERT_EQ(decoded.size(), kFrames * 6);
    Samples mix(kFrames * 2);
    for (std::size_t f = 0; f < kFrames; ++f) {
        mix[2 * f] = (0.0f + decoded[f * 6] * 1.0f) + decoded[f * 6 + 4] * 0.5f;
        mix[2 * f + 1] = (0.0f + decoded[f * 6 + 1] * 1.0f) + decoded[f * 6 + 3] * 0.5f;
    }
    IHSSWaveDecoder* decoder = Open(u"stems.mchx");
    ASSERT_NE(decoder, nullptr);
    ExpectSameSamples(Render(decoder, kFrames, 4096), mix);
    EXPECT_EQ(decoder->Release(), 0u);
}

TEST_F(EndToEndTest, UnplayableListsGiveTheProvidersCodeOrFail)
{
    Add(u"self.mtrk", "me\tself.mtrk\n");
    storage->Add(u"x.opus", Tones(2, 200.0));
    const std::pair<const char16_t*, HRESULT> rows[] = {
        {u"missing.mtrk", STG_E_FILENOTFOUND}, {u"self.mtrk", E_FAIL}, {u"x.opus", E_FAIL}};
    for (const auto& [url, code] : rows) {
        IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
        EXPECT_EQ(Module()->OpenMediaInstance(url, &decoder), code);
        EXPECT_EQ(decoder, nullptr);
    }
}

} // namespace
} // namespace scripttest
