// Tests of the test-audio helper: what it encodes decodes (with opusfile,
// vorbisfile, and libogg + libopus for the many-channel Opus files opusfile
// refuses) to the right length, channels, tones, gains, tags and clicks; the
// output is deterministic; WriteFile leaves no partial file.
#include "HostTestSupport.h" // also <algorithm>, <fstream>, <string>, <vector>

#include "host/TestAudio.h"

#include <gtest/gtest.h>

#include <ogg/ogg.h>
#include <opus_multistream.h>
#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>
#include <set>

namespace {

namespace fs = std::filesystem;
using testaudio::SignalSpec;
using Bytes = std::vector<std::uint8_t>;

// Amplitude of the sine of `frequency` in one channel of interleaved `pcm`: a
// Hann-windowed Goertzel filter (tones a few bins apart do not leak into each
// other), scaled so that a sine of amplitude A reads A.
double ToneAmplitude(const std::vector<float>& pcm, std::size_t channels, std::size_t channel,
                     double frequency, double sampleRate)
{
    const std::size_t frames = pcm.size() / channels;
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / sampleRate);
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / (frames - 1.0));
        const double s0 = window * pcm[n * channels + channel] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    // The window sums to (frames - 1) / 2.
    return 4.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - coefficient * s1 * s2, 0.0)) / static_cast<double>(frames - 1);
}

std::uint32_t FirstPageSerial(const Bytes& bytes)
{
    return bytes.size() < 18 ? 0u : bytes[14] | bytes[15] << 8 | bytes[16] << 16 | std::uint32_t{bytes[17]} << 24;
}

// What a decoder made of a file.
struct Decoded {
    int error = 0, channels = 0, outputGain = 0; // error: why opusfile or vorbisfile refused the file
    long rate = 0;          // Vorbis: the rate; Opus: the input rate in the header
    std::int64_t total = 0; // the length the file declares
    std::vector<std::string> tags;
    std::vector<float> pcm; // interleaved
};

// An Opus file with a channel table (families 1 and 255) decoded with libogg
// and libopus alone: pre-skip and end trimmed as RFC 7845 says.
void DecodeWithLibopus(const Bytes& bytes, Decoded& out)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, static_cast<long>(bytes.size())), bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    ogg_stream_state stream;
    ogg_stream_init(&stream, testaudio::OpusOptions{}.serialNumber);
    ogg_page page{};
    ogg_packet packet{};
    std::vector<Bytes> packets;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        EXPECT_EQ(ogg_stream_pagein(&stream, &page), 0) << "a page of another stream";
        out.total = std::max<std::int64_t>(out.total, ogg_page_granulepos(&page));
        while (ogg_stream_packetout(&stream, &packet) == 1)
            packets.emplace_back(packet.packet, packet.packet + packet.bytes);
    }
    ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    const Bytes& head = packets.at(0);
    ASSERT_TRUE(packets.size() >= 2 && head.size() == 21u + head[9] && head[18] != 0);
    const int preSkip = head[10] | head[11] << 8;
    out.channels = head[9];
    out.rate = head[12] | head[13] << 8 | head[14] << 16;
    out.total -= preSkip;
    OpusMSDecoder* decoder = opus_multistream_decoder_create(48000, head[9], head[19], head[20], &head[21], nullptr);
    ASSERT_NE(decoder, nullptr);
    std::vector<float> frame(5760 * head[9]);
    for (auto p = packets.begin() + 2; p < packets.end(); ++p) {
        const int n = opus_multistream_decode_float(decoder, p->data(), static_cast<int>(p->size()), frame.data(), 5760, 0);
        out.pcm.insert(out.pcm.end(), frame.begin(), frame.begin() + std::max(n, 0) * out.channels);
    }
    opus_multistream_decoder_destroy(decoder);
    const std::size_t end = std::min(out.pcm.size(), static_cast<std::size_t>(out.total + preSkip) * head[9]);
    out.pcm = std::vector<float>(out.pcm.begin() + std::min<std::size_t>(end, preSkip * head[9]), out.pcm.begin() + end);
}

Decoded DecodeOpus(const Bytes& bytes)
{
    Decoded out;
    OggOpusFile* file = op_open_memory(bytes.data(), bytes.size(), &out.error);
    if (!file && out.error == OP_EIMPL)
        DecodeWithLibopus(bytes, out);
    if (!file)
        return out;
    out.channels = op_channel_count(file, -1);
    out.rate = op_head(file, -1)->input_sample_rate;
    out.total = op_pcm_total(file, -1);
    out.outputGain = op_head(file, -1)->output_gain;
    out.tags.assign(op_tags(file, -1)->user_comments, op_tags(file, -1)->user_comments + op_tags(file, -1)->comments);
    std::vector<float> buffer(5760 * static_cast<std::size_t>(out.channels));
    for (int n; (n = op_read_float(file, buffer.data(), static_cast<int>(buffer.size()), nullptr)) > 0;)
        out.pcm.insert(out.pcm.end(), buffer.begin(), buffer.begin() + n * out.channels);
    op_free(file);
    return out;
}

Decoded DecodeVorbis(const Bytes& bytes)
{
    Decoded out;
    OggVorbis_File file;
    FILE* in = fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
    if ((out.error = ov_open_callbacks(in, &file, nullptr, 0, OV_CALLBACKS_DEFAULT)) != 0) {
        fclose(in);
        return out;
    }
    out.channels = ov_info(&file, -1)->channels;
    out.rate = ov_info(&file, -1)->rate;
    out.total = ov_pcm_total(&file, -1);
    const vorbis_comment* comment = ov_comment(&file, -1);
    out.tags.assign(comment->user_comments, comment->user_comments + comment->comments);
    float** samples = nullptr;
    for (long n; (n = ov_read_float(&file, &samples, 4096, nullptr)) > 0;)
        for (long f = 0; f < n; ++f)
            for (int c = 0; c < out.channels; ++c)
                out.pcm.push_back(samples[c][f]);
    ov_clear(&file); // closes `in`
    return out;
}

// Every channel carries its own tone at 0.25 (within 15%; 40% on an LFE
// channel, which the encoders code coarsely and which gets a 100 Hz tone that
// survives) and not the tones of its nearest channels; a click in the middle
// lands on its frame.
TEST(TestAudio, EveryChannelCountDecodesToTheExactLengthWithItsOwnTonesAndTheClick)
{
    struct Case {
        bool opus, lfe; // lfe: the last channel is coded as an LFE
        std::uint32_t channels, sampleRate;
        std::uint64_t frames, decoded; // Opus: ceil(frames * 48000 / sampleRate) at 48 kHz
    };
    // 4801 frames end inside an Opus packet; 44.1 kHz Opus input is resampled.
    for (const Case& c : {Case{true, false, 1, 48000, 4801, 4801}, Case{true, false, 2, 44100, 4410, 4800},
                          Case{true, false, 2, 48000, 0, 0}, Case{true, true, 8, 48000, 4800, 4800},
                          Case{true, false, 12, 48000, 4801, 4801}, Case{true, false, 255, 48000, 4800, 4800},
                          Case{false, false, 1, 8000, 807, 807}, Case{false, false, 2, 44100, 4417, 4417},
                          Case{false, false, 2, 44100, 0, 0}, Case{false, true, 6, 48000, 4801, 4801},
                          Case{false, false, 12, 22050, 2205, 2205}}) {
        SCOPED_TRACE(testing::Message() << "Opus " << c.opus << ", " << c.channels << " channels, " << c.frames);
        SignalSpec shape = testaudio::DistinctTones(c.channels, c.frames, c.sampleRate);
        if (c.lfe)
            shape.channels.back().frequency = 100.0;
        if (c.frames > 0)
            shape.clicks = {testaudio::Click{c.frames / 2, 0.5f}};
        using testaudio::Synthesize;
        const Decoded d = c.opus ? DecodeOpus(testaudio::EncodeOpus(Synthesize(shape), c.channels, c.sampleRate))
                                 : DecodeVorbis(testaudio::EncodeVorbis(Synthesize(shape), c.channels, c.sampleRate));
        EXPECT_EQ(d.error, c.opus && c.channels > 8 ? OP_EIMPL : 0) << "opusfile plays no mapping family 255";
        EXPECT_EQ(d.channels, static_cast<int>(c.channels));
        EXPECT_EQ(d.rate, static_cast<long>(c.sampleRate));
        EXPECT_EQ(d.total, static_cast<std::int64_t>(c.decoded));
        ASSERT_EQ(d.pcm.size(), c.decoded * c.channels);
        const double rate = c.opus ? 48000.0 : c.sampleRate;
        if (c.channels <= 2 && c.frames > 0) { // where the encoders have bits to spare for a click
            const auto peak = (std::max_element(d.pcm.begin(), d.pcm.end()) - d.pcm.begin()) / c.channels;
            EXPECT_NEAR(static_cast<double>(peak), c.frames / 2 * rate / c.sampleRate, 2.0);
        }
        const std::size_t neighbours = c.channels > 12 ? 2 : c.channels; // all pairs, or the nearest
        for (std::size_t ch = 0; ch < c.channels && c.frames > 0; ++ch) {
            const double own = ToneAmplitude(d.pcm, c.channels, ch, shape.channels[ch].frequency, rate);
            EXPECT_NEAR(own, 0.25, c.lfe && ch + 1 == c.channels ? 0.1 : 0.0375) << "channel " << ch;
            double leak = 0.0;
            for (std::size_t other = 0; other < c.channels; ++other)
                if (other != ch && other + neighbours >= ch && other <= ch + neighbours)
                    leak = std::max(leak, ToneAmplitude(d.pcm, c.channels, ch, shape.channels[other].frequency, rate));
            EXPECT_LT(leak, 0.025) << "the tones of other channels in channel " << ch;
        }
    }
}

TEST(TestAudio, HeaderGainAndLoudnessTagsAreReadable)
{
    using Tags = std::vector<std::string>;
    const std::vector<float> pcm = testaudio::Synthesize(testaudio::DistinctTones(2, 4800));
    testaudio::OpusOptions opus;
    opus.headerGainQ8 = -1536; // -6 dB, which opusfile applies
    opus.r128TrackGainQ8 = -1234;
    opus.r128AlbumGainQ8 = 567;
    opus.comments = {{"TITLE", "a = b"}};
    const Decoded withGains = DecodeOpus(testaudio::EncodeOpus(pcm, 2, 48000, opus));
    EXPECT_EQ(withGains.outputGain, -1536);
    EXPECT_EQ(withGains.tags, (Tags{"R128_TRACK_GAIN=-1234", "R128_ALBUM_GAIN=567", "TITLE=a = b"}));
    EXPECT_NEAR(ToneAmplitude(withGains.pcm, 2, 0, 200.0, 48000), 0.25 * std::pow(10.0, -6.0 / 20.0), 0.007);
    const Decoded plain = DecodeOpus(testaudio::EncodeOpus(pcm, 2, 48000));
    EXPECT_EQ(plain.tags, Tags{});

    testaudio::VorbisOptions vorbis;
    vorbis.replayGainTrack = "-6.50 dB";
    vorbis.replayGainAlbum = "+1.25 dB";
    EXPECT_EQ(DecodeVorbis(testaudio::EncodeVorbis(pcm, 2, 48000, vorbis)).tags,
              (Tags{"REPLAYGAIN_TRACK_GAIN=-6.50 dB", "REPLAYGAIN_ALBUM_GAIN=+1.25 dB"}));
    EXPECT_EQ(DecodeVorbis(testaudio::EncodeVorbis(pcm, 2, 48000)).tags, Tags{});
}

// Noise and 44.1 kHz input (resampled by libopusenc) show any state left
// uninitialised; the serial numbers are the ones chosen.
TEST(TestAudio, OutputIsDeterministicAndCarriesTheChosenSerialNumber)
{
    SignalSpec shape = testaudio::DistinctTones(2, 9600, 44100);
    shape.channels[1].waveform = testaudio::Waveform::Noise;
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    EXPECT_EQ(pcm, testaudio::Synthesize(shape));
    testaudio::OpusOptions opus;
    opus.serialNumber = 1234567;
    testaudio::VorbisOptions vorbis;
    vorbis.serialNumber = 42;
    const Bytes opusBytes = testaudio::EncodeOpus(pcm, 2, 44100, opus);
    const Bytes vorbisBytes = testaudio::EncodeVorbis(pcm, 2, 44100, vorbis);
    EXPECT_EQ(opusBytes, testaudio::EncodeOpus(pcm, 2, 44100, opus));
    EXPECT_EQ(vorbisBytes, testaudio::EncodeVorbis(pcm, 2, 44100, vorbis));
    EXPECT_EQ(FirstPageSerial(opusBytes), 1234567u);
    EXPECT_EQ(FirstPageSerial(vorbisBytes), 42u);
}

TEST(TestAudioWriteFile, ReplacesTheTargetWholeOrFailsLeavingNoFileBehind)
{
    hosttest::TempFolder folder;
    const fs::path target = folder.Path() / "tone.opus";
    for (const Bytes& bytes : {hosttest::Pattern(70000), Bytes{1, 2, 3}, Bytes{}}) {
        ASSERT_TRUE(testaudio::WriteFile(target, bytes));
        std::ifstream in(target, std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytes);
    }
    EXPECT_FALSE(testaudio::WriteFile(folder.Path() / "missing" / "tone.ogg", Bytes{1, 2, 3}));
    const fs::path taken = folder.Path() / "taken";
    fs::create_directories(taken / "inside");
    EXPECT_FALSE(testaudio::WriteFile(taken, Bytes{1, 2, 3}));
    EXPECT_FALSE(testaudio::WriteFile(fs::path(), Bytes{1}));
    EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(folder.Path()), {}), (std::set<fs::path>{target, taken}));
    EXPECT_TRUE(fs::is_directory(taken / "inside"));
}

} // namespace
