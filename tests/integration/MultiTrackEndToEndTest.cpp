// Track lists played through the shared library, as the engine plays them,
// against mixes the test computes itself from the same stems decoded with
// the libraries directly.
#include "PluginHost.h"

#include <host/TestAudio.h>
#include <host/WavWriter.h>

#include <vymultitrack/Utf16Text.h>

#include <opus/opusfile.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <functional>
#include <memory>

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint64_t kFrames = 48000;

using Samples = std::vector<float>;

testaudio::SignalSpec Shape(std::uint32_t channels, std::uint32_t seed)
{
    testaudio::SignalSpec shape = testaudio::DistinctTones(channels, kFrames, kRate, 150.0 + seed);
    shape.clicks = {{1000 + seed * 7, 0.5f}};
    return shape;
}

// Frames [start, start + count) of an Ogg Opus file, decoded with opusfile
// after a seek to `start` — what the plug-in's decoder does too.
Samples DecodeOpus(const std::vector<std::uint8_t>& bytes, std::uint64_t start, std::uint64_t count)
{
    int error = 0;
    std::unique_ptr<OggOpusFile, void (*)(OggOpusFile*)> file(op_open_memory(bytes.data(), bytes.size(), &error),
                                                             &op_free);
    if (!file) {
        ADD_FAILURE() << "opusfile cannot open the stem: " << error;
        return {};
    }
    const int channels = op_channel_count(file.get(), -1);
    if (start > 0) {
        EXPECT_EQ(op_pcm_seek(file.get(), static_cast<ogg_int64_t>(start)), 0);
    }
    Samples out(count * channels);
    std::size_t done = 0;
    while (done < out.size()) {
        const int n = op_read_float(file.get(), out.data() + done, static_cast<int>(out.size() - done), nullptr);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n) * channels;
    }
    out.resize(done);
    return out;
}

struct MemoryFile {
    const std::vector<std::uint8_t>* bytes;
    std::size_t position = 0;
};

Samples DecodeVorbis(const std::vector<std::uint8_t>& bytes, std::uint64_t start, std::uint64_t count)
{
    ov_callbacks callbacks{};
    callbacks.read_func = [](void* out, std::size_t size, std::size_t n, void* source) -> std::size_t {
        auto* file = static_cast<MemoryFile*>(source);
        const std::size_t take = std::min(size * n, file->bytes->size() - file->position) / size;
        std::memcpy(out, file->bytes->data() + file->position, take * size);
        file->position += take * size;
        return take;
    };
    callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
        auto* file = static_cast<MemoryFile*>(source);
        const auto base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file->position : file->bytes->size();
        file->position = static_cast<std::size_t>(static_cast<ogg_int64_t>(base) + offset);
        return 0;
    };
    callbacks.tell_func = [](void* source) -> long { return static_cast<long>(static_cast<MemoryFile*>(source)->position); };
    MemoryFile source{&bytes};
    OggVorbis_File file;
    EXPECT_EQ(ov_open_callbacks(&source, &file, nullptr, 0, callbacks), 0);
    const int channels = ov_info(&file, -1)->channels;
    if (start > 0) {
        EXPECT_EQ(ov_pcm_seek(&file, static_cast<ogg_int64_t>(start)), 0);
    }
    Samples out;
    int bitstream = 0;
    while (out.size() < count * channels) {
        float** pcm = nullptr;
        const long n = ov_read_float(&file, &pcm, static_cast<int>(count - out.size() / channels), &bitstream);
        if (n <= 0)
            break;
        for (long k = 0; k < n; ++k)
            for (int c = 0; c < channels; ++c)
                out.push_back(pcm[c][k]);
    }
    ov_clear(&file);
    return out;
}

// Renders `url` through the module from frame `start` to its end in blocks
// of `block` frames. Checks the end is reported once, by the last block.
Samples RenderList(const std::u16string& url, std::uint64_t start = 0, std::uint32_t block = 1000,
                   HSSWaveFormat* formatOut = nullptr)
{
    IHSSWaveDecoder* decoder = nullptr;
    EXPECT_EQ(PluginHost::Get().Module()->OpenMediaInstance(url.c_str(), &decoder), S_OK);
    if (!decoder)
        return {};
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    if (formatOut)
        *formatOut = format;
    if (start > 0) {
        EXPECT_EQ(decoder->SetPosition(start), S_OK);
    }
    Samples out;
    std::vector<float> buffer(static_cast<std::size_t>(block) * format.channelCount);
    for (;;) {
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        EXPECT_EQ(decoder->Render(buffer.data(), block, &rendered, &status), S_OK);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(rendered) * format.channelCount);
        if (status == 0 || rendered == 0)
            break;
    }
    EXPECT_EQ(decoder->Release(), 0u);
    return out;
}

// Adds `track` × gain into `mix`, as the layered mix does: out + s × g.
void AddTrack(Samples& mix, const Samples& track, float gain = 1.0f)
{
    ASSERT_EQ(mix.size(), track.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        mix[i] = mix[i] + track[i] * gain;
}

void ExpectSameSamples(const Samples& actual, const Samples& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && ++mismatches < 5)
            ADD_FAILURE() << "sample " << i << ": " << actual[i] << " != " << expected[i];
    EXPECT_EQ(mismatches, 0u);
}

Samples Slice(const Samples& samples, std::uint64_t startFrame, std::uint32_t channels)
{
    return Samples(samples.begin() + static_cast<std::ptrdiff_t>(startFrame * channels), samples.end());
}

const std::string kWavModule = VY_WAV_MODULE_PATH;

} // namespace

TEST(MultiTrackEndToEnd, AFileListMixesOpusVorbisAndModuleSourcesAndSeeks)
{
    PluginHost& host = PluginHost::Get();
    const auto drums = testaudio::EncodeOpus(testaudio::Synthesize(Shape(2, 1)), 2, kRate);
    const auto pads = testaudio::EncodeVorbis(testaudio::Synthesize(Shape(2, 2)), 2, kRate);
    const Samples keys = testaudio::Synthesize(Shape(2, 3));
    host.WriteFile("mtrk/drums.opus", drums);
    host.WriteFile("mtrk/pads.ogg", pads);
    host.WriteFile("mtrk/keys.wav", host::WriteWavFloat(keys, 2, kRate));
    host.WriteText("mtrk/bgm.mtrk", "drums\tmtrk/drums.opus\r\npads\tmtrk/pads.ogg\r\n# keys come through the module\r\n"
                                    "keys\tmtrk/keys.wav\t" + kWavModule + "\r\n");

    HSSWaveFormat format{};
    const Samples played = RenderList(u"mtrk/bgm.mtrk", 0, 1000, &format);
    EXPECT_EQ(format.sampleRate, kRate);
    EXPECT_EQ(format.channelCount, 2u);
    EXPECT_EQ(format.sampleFormat, 0x10020u);
    EXPECT_EQ(format.totalSamples, kFrames);

    Samples mix(kFrames * 2, 0.0f);
    AddTrack(mix, DecodeOpus(drums, 0, kFrames));
    AddTrack(mix, DecodeVorbis(pads, 0, kFrames));
    AddTrack(mix, keys);
    ExpectSameSamples(played, mix);

    for (std::uint64_t start : {1ull, 12345ull, 47999ull}) {
        SCOPED_TRACE(start);
        Samples seeked(static_cast<std::size_t>((kFrames - start) * 2), 0.0f);
        AddTrack(seeked, DecodeOpus(drums, start, kFrames - start));
        AddTrack(seeked, DecodeVorbis(pads, start, kFrames - start));
        AddTrack(seeked, Slice(keys, start, 2));
        ExpectSameSamples(RenderList(u"mtrk/bgm.mtrk", start, 777), seeked);
    }
}

TEST(MultiTrackEndToEnd, SixteenBitSourcesMixWithExactScaling)
{
    PluginHost& host = PluginHost::Get();
    std::vector<std::int16_t> a(2 * 5000);
    std::vector<std::int16_t> b(2 * 5000);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
        b[i] = static_cast<std::int16_t>(i % 3 == 0 ? -32768 : 32767);
    }
    host.WriteFile("wav16/a.wav", host::WriteWav16(a, 2, 44100));
    host.WriteFile("wav16/b.wav", host::WriteWav16(b, 2, 44100));
    host.WriteText("wav16/pair.mtrk", "a\twav16/a.wav\t" + kWavModule + "\nb\twav16/b.wav\n");

    HSSWaveFormat format{};
    const Samples played = RenderList(u"wav16/pair.mtrk", 0, 999, &format);
    EXPECT_EQ(format.sampleFormat, 0x10020u) << "16-bit sources mix to float";
    EXPECT_EQ(format.sampleRate, 44100u);
    Samples mix(a.size(), 0.0f);
    for (std::size_t i = 0; i < mix.size(); ++i)
        mix[i] = (0.0f + static_cast<float>(a[i]) * 3.0517578125e-05f) + static_cast<float>(b[i]) * 3.0517578125e-05f;
    ExpectSameSamples(played, mix);
}

TEST(MultiTrackEndToEnd, AnInlineListNamesItsSourcesInItsFileName)
{
    PluginHost& host = PluginHost::Get();
    const auto one = testaudio::EncodeOpus(testaudio::Synthesize(Shape(2, 4)), 2, kRate);
    const auto two = testaudio::EncodeOpus(testaudio::Synthesize(Shape(2, 5)), 2, kRate);
    host.WriteFile("inline/one.opus", one);
    host.WriteFile("inline/two.opus", two);
    Samples mix(kFrames * 2, 0.0f);
    AddTrack(mix, DecodeOpus(one, 0, kFrames));
    AddTrack(mix, DecodeOpus(two, 0, kFrames));
    ExpectSameSamples(RenderList(u"inline/one.opus|missing.opus|two.opus|song.mtrk"), mix);
}

TEST(MultiTrackEndToEnd, MultiChannelListsGatherTrackChannelsFromOneSource)
{
    PluginHost& host = PluginHost::Get();
    for (std::uint32_t channels : {6u, 12u}) {
        SCOPED_TRACE(channels);
        const std::string dir = "mchx" + std::to_string(channels) + "/";
        const auto source = testaudio::EncodeOpus(testaudio::Synthesize(Shape(channels, channels)), channels, kRate);
        host.WriteFile(dir + "stems.opus", source);
        const std::uint32_t a = channels - 2;
        const std::uint32_t b = channels - 3;
        host.WriteText(dir + "stems.mchx", "# front and a selection from the back\nchannel\t2\nsource\tstems.opus\n"
                                           "track\tfront\t0\t1\ntrack\tback\t" + std::to_string(a) + "\t" +
                                               std::to_string(b) + "\nvolume\tBack\t0.5\n");
        // opusfile opens at most 8 channels: beyond that, the stem is decoded
        // by the plug-in itself, played alone through a one-track list.
        const Samples decoded = channels <= 8 ? DecodeOpus(source, 0, kFrames)
                                              : RenderList(vytext::ToUtf16(dir + "stems.opus|alone.mtrk"));
        ASSERT_EQ(decoded.size(), kFrames * channels);
        Samples mix(kFrames * 2);
        for (std::size_t f = 0; f < kFrames; ++f) {
            mix[2 * f] = (0.0f + decoded[f * channels] * 1.0f) + decoded[f * channels + a] * 0.5f;
            mix[2 * f + 1] = (0.0f + decoded[f * channels + 1] * 1.0f) + decoded[f * channels + b] * 0.5f;
        }
        HSSWaveFormat format{};
        const std::u16string url = vytext::ToUtf16(dir + "stems.mchx");
        ExpectSameSamples(RenderList(url, 0, 4096, &format), mix);
        EXPECT_EQ(format.channelCount, 2u);
    }
}

TEST(MultiTrackEndToEnd, UnplayableListsGiveTheProvidersCodeOrFail)
{
    PluginHost& host = PluginHost::Get();
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"nowhere/missing.mtrk", &decoder), STG_E_FILENOTFOUND);
    EXPECT_EQ(decoder, nullptr);
    host.WriteText("bad/empty.mtrk", "");
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"bad/empty.mtrk", &decoder), E_FAIL);
    host.WriteText("bad/self.mtrk", "me\tbad/self.mtrk\n");
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"bad/self.mtrk", &decoder), E_FAIL);
    host.WriteText("bad/nomodule.mtrk", "x\tbad/x.wav\tno-such-module.so\n");
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"bad/nomodule.mtrk", &decoder), E_FAIL);
    host.WriteText("bad/outside.mchx", "channel\t2\nsource\tx.opus\ntrack\tt\t7\t9\n");
    host.WriteFile("bad/x.opus", testaudio::EncodeOpus(testaudio::Synthesize(Shape(2, 9)), 2, kRate));
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"bad/outside.mchx", &decoder), E_FAIL);
    EXPECT_EQ(host.Module()->OpenMediaInstance(u"bad/x.opus", &decoder), E_FAIL) << "not a track list";
    EXPECT_EQ(decoder, nullptr);
}
