// Tests of the test-audio helper: what it synthesises, and that what it encodes
// decodes (with opusfile, vorbisfile, and libogg + libopus for what opusfile
// refuses) to the right length, channels, tones, levels, tags and markers.
#include "host/TestAudio.h"

#include <gtest/gtest.h>

#include <ogg/ogg.h>
#include <opus_multistream.h>
#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using testaudio::ChannelSignal;
using testaudio::Click;
using testaudio::SignalSpec;
using testaudio::Waveform;
using Bytes = std::vector<std::uint8_t>;

// ------------------------------------------------------------ measurements

std::size_t FrameCount(const std::vector<float>& pcm, std::size_t channels)
{
    return pcm.size() / channels;
}

// Amplitude of the sine of `frequency` in one channel of interleaved `pcm`:
// a Hann-windowed Goertzel filter over the whole signal, scaled so that a sine
// of amplitude A reads A. The window keeps tones a few bins apart from leaking
// into each other, so it tells lossy-coded channels apart reliably.
double ToneAmplitude(const std::vector<float>& pcm, std::size_t channels, std::size_t channel,
                     double frequency, double sampleRate)
{
    const std::size_t frames = FrameCount(pcm, channels);
    const double omega = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(omega);
    double s1 = 0.0;
    double s2 = 0.0;
    double windowSum = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) /
                                                   static_cast<double>(frames - 1));
        windowSum += window;
        const double s0 = window * pcm[n * channels + channel] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / windowSum;
}

double Mean(const std::vector<float>& pcm, std::size_t channels, std::size_t channel,
            std::size_t begin, std::size_t end)
{
    double sum = 0.0;
    for (std::size_t n = begin; n < end; ++n) {
        sum += pcm[n * channels + channel];
    }
    return sum / static_cast<double>(end - begin);
}

// Frame of the largest absolute sample in one channel.
std::size_t PeakFrame(const std::vector<float>& pcm, std::size_t channels, std::size_t channel)
{
    std::size_t best = 0;
    float bestValue = -1.0f;
    for (std::size_t n = 0; n < FrameCount(pcm, channels); ++n) {
        const float value = std::fabs(pcm[n * channels + channel]);
        if (value > bestValue) {
            bestValue = value;
            best = n;
        }
    }
    return best;
}

constexpr std::size_t kNoChannel = static_cast<std::size_t>(-1);

// Checks that every channel carries its own tone at about `level` (within 15%;
// 40% for `lfeChannel`, which the encoders code coarsely) and that the tones of
// the `neighbours` nearest channels on each side (all when 0) are absent from it.
void ExpectDistinctTones(const std::vector<float>& pcm, const SignalSpec& shape, double level,
                         std::size_t neighbours = 0, std::size_t lfeChannel = kNoChannel)
{
    const std::size_t channels = shape.channels.size();
    ASSERT_EQ(pcm.size() % channels, 0u);
    for (std::size_t c = 0; c < channels; ++c) {
        const double own =
            ToneAmplitude(pcm, channels, c, shape.channels[c].frequency, shape.sampleRate);
        EXPECT_NEAR(own, level, (c == lfeChannel ? 0.4 : 0.15) * level) << "channel " << c;
        const std::size_t first = neighbours == 0 || c < neighbours ? 0 : c - neighbours;
        const std::size_t last =
            neighbours == 0 ? channels - 1 : std::min(channels - 1, c + neighbours);
        for (std::size_t other = first; other <= last; ++other) {
            if (other == c) {
                continue;
            }
            const double leak =
                ToneAmplitude(pcm, channels, c, shape.channels[other].frequency, shape.sampleRate);
            EXPECT_LT(leak, 0.1 * level) << "tone of channel " << other << " in channel " << c;
        }
    }
}

// ------------------------------------------------------------ decoders

// An Opus file opened by opusfile from memory (its own copy: opusfile reads
// the bytes until op_free).
class OpusFile {
public:
    explicit OpusFile(Bytes bytes)
        : bytes_(std::move(bytes)), file_(op_open_memory(bytes_.data(), bytes_.size(), &error_))
    {
    }
    OpusFile(const OpusFile&) = delete;
    OpusFile& operator=(const OpusFile&) = delete;
    ~OpusFile()
    {
        if (file_ != nullptr) {
            op_free(file_);
        }
    }
    explicit operator bool() const { return file_ != nullptr; }
    OggOpusFile* get() const { return file_; }
    int Error() const { return error_; }

private:
    const Bytes bytes_;
    int error_ = 0;
    OggOpusFile* file_;
};

// All samples of a single-link Opus file, interleaved, at 48 kHz.
std::vector<float> ReadAll(OggOpusFile* file)
{
    const int channels = op_channel_count(file, -1);
    std::vector<float> buffer(5760 * static_cast<std::size_t>(channels));
    std::vector<float> pcm;
    for (;;) {
        const int frames =
            op_read_float(file, buffer.data(), static_cast<int>(buffer.size()), nullptr);
        if (frames < 0) {
            ADD_FAILURE() << "op_read_float failed: " << frames;
            break;
        }
        if (frames == 0) {
            break;
        }
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + frames * channels);
    }
    return pcm;
}

// An Ogg Opus file decoded without opusfile: libogg for the pages, the ID
// header parsed by hand, libopus's multistream decoder for the packets, then
// pre-skip and end trimming from the last granule position as RFC 7845 says.
// It also reads mapping family 255, which opusfile refuses. The header gain is
// not applied.
struct RawOpus {
    std::string error; // empty when decoded
    std::uint32_t serialNumber = 0;
    int channels = 0;
    int preSkip = 0;
    std::uint32_t inputSampleRate = 0;
    int outputGain = 0;
    int family = -1;
    int streams = 0;
    int coupledStreams = 0;
    std::vector<unsigned char> mapping;
    bool endOfStream = false;
    int pages = 0;
    std::int64_t lastGranule = -1;
    std::vector<float> pcm; // trimmed, interleaved, 48 kHz
};

RawOpus DecodeOpusRaw(const Bytes& bytes)
{
    RawOpus result;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    std::memcpy(buffer, bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    ogg_stream_state stream;
    bool streamInit = false;
    std::vector<std::vector<unsigned char>> packets;
    ogg_page page;
    int pageResult = 0;
    while ((pageResult = ogg_sync_pageout(&sync, &page)) != 0) {
        if (pageResult < 0) {
            result.error = "bytes skipped between pages";
            break;
        }
        if (!streamInit) {
            result.serialNumber = static_cast<std::uint32_t>(ogg_page_serialno(&page));
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            streamInit = true;
        }
        if (ogg_stream_pagein(&stream, &page) != 0) {
            result.error = "page of another stream or corrupt";
            break;
        }
        ++result.pages;
        if (ogg_page_granulepos(&page) != -1) {
            result.lastGranule = ogg_page_granulepos(&page);
        }
        result.endOfStream = result.endOfStream || ogg_page_eos(&page) != 0;
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            packets.emplace_back(packet.packet, packet.packet + packet.bytes);
        }
    }
    if (streamInit) {
        ogg_stream_clear(&stream);
    }
    ogg_sync_clear(&sync);
    if (!result.error.empty()) {
        return result;
    }
    if (packets.size() < 2) {
        result.error = "fewer than two header packets";
        return result;
    }
    const std::vector<unsigned char>& head = packets[0];
    if (head.size() < 19 || std::memcmp(head.data(), "OpusHead", 8) != 0 || head[8] != 1) {
        result.error = "bad OpusHead";
        return result;
    }
    result.channels = head[9];
    result.preSkip = head[10] | head[11] << 8;
    result.inputSampleRate =
        static_cast<std::uint32_t>(head[12]) | static_cast<std::uint32_t>(head[13]) << 8 |
        static_cast<std::uint32_t>(head[14]) << 16 | static_cast<std::uint32_t>(head[15]) << 24;
    result.outputGain = static_cast<std::int16_t>(head[16] | head[17] << 8);
    result.family = head[18];
    if (result.family == 0) {
        result.streams = 1;
        result.coupledStreams = result.channels - 1;
        result.mapping = {0, 1};
    } else {
        if (head.size() != 21u + static_cast<std::size_t>(result.channels)) {
            result.error = "bad OpusHead size for the channel mapping table";
            return result;
        }
        result.streams = head[19];
        result.coupledStreams = head[20];
        result.mapping.assign(head.begin() + 21, head.end());
    }
    if (packets[1].size() < 8 || std::memcmp(packets[1].data(), "OpusTags", 8) != 0) {
        result.error = "bad OpusTags";
        return result;
    }
    int error = OPUS_OK;
    std::unique_ptr<OpusMSDecoder, decltype(&opus_multistream_decoder_destroy)> decoder(
        opus_multistream_decoder_create(48000, result.channels, result.streams,
                                        result.coupledStreams, result.mapping.data(), &error),
        &opus_multistream_decoder_destroy);
    if (!decoder) {
        result.error = "opus_multistream_decoder_create: " + std::to_string(error);
        return result;
    }
    const std::size_t channels = static_cast<std::size_t>(result.channels);
    std::vector<float> decoded;
    std::vector<float> frame(5760 * channels);
    for (std::size_t p = 2; p < packets.size(); ++p) {
        const int frames = opus_multistream_decode_float(decoder.get(), packets[p].data(),
                                                         static_cast<opus_int32>(packets[p].size()),
                                                         frame.data(), 5760, 0);
        if (frames < 0) {
            result.error = "opus_multistream_decode_float: " + std::to_string(frames);
            return result;
        }
        decoded.insert(decoded.end(), frame.begin(), frame.begin() + frames * result.channels);
    }
    const std::int64_t decodedFrames = static_cast<std::int64_t>(decoded.size() / channels);
    if (result.lastGranule < result.preSkip || result.lastGranule > decodedFrames) {
        result.error = "last granule " + std::to_string(result.lastGranule) + " outside pre-skip " +
                       std::to_string(result.preSkip) + " .. decoded " +
                       std::to_string(decodedFrames);
        return result;
    }
    result.pcm.assign(decoded.begin() + result.preSkip * result.channels,
                      decoded.begin() + result.lastGranule * result.channels);
    return result;
}

// A Vorbis file read from memory (its own copy) through ov_open_callbacks.
class VorbisFile {
public:
    explicit VorbisFile(Bytes bytes) : bytes_(std::move(bytes))
    {
        const ov_callbacks callbacks{&VorbisFile::Read, &VorbisFile::Seek, nullptr,
                                     &VorbisFile::Tell};
        openResult_ = ov_open_callbacks(this, &file_, nullptr, 0, callbacks);
    }
    VorbisFile(const VorbisFile&) = delete;
    VorbisFile& operator=(const VorbisFile&) = delete;
    ~VorbisFile()
    {
        if (openResult_ == 0) {
            ov_clear(&file_);
        }
    }

    int OpenResult() const { return openResult_; }
    OggVorbis_File* Get() { return &file_; }
    int Channels() { return ov_info(&file_, -1)->channels; }

    std::vector<float> ReadAll()
    {
        const std::size_t channels = static_cast<std::size_t>(Channels());
        std::vector<float> pcm;
        for (;;) {
            float** samples = nullptr;
            int bitstream = 0;
            const long frames = ov_read_float(&file_, &samples, 4096, &bitstream);
            if (frames < 0) {
                ADD_FAILURE() << "ov_read_float failed: " << frames;
                break;
            }
            if (frames == 0) {
                break;
            }
            for (long n = 0; n < frames; ++n) {
                for (std::size_t c = 0; c < channels; ++c) {
                    pcm.push_back(samples[c][n]);
                }
            }
        }
        return pcm;
    }

    // The value of the first `key` comment, or "<absent>".
    std::string Comment(const char* key)
    {
        const char* value = vorbis_comment_query(ov_comment(&file_, -1), key, 0);
        return value != nullptr ? value : "<absent>";
    }

private:
    static std::size_t Read(void* data, std::size_t size, std::size_t count, void* source)
    {
        auto* self = static_cast<VorbisFile*>(source);
        if (size == 0) {
            return 0;
        }
        const std::size_t wanted = size * count;
        const std::size_t left = self->bytes_.size() - self->position_;
        const std::size_t taken = std::min(wanted, left) / size * size;
        std::memcpy(data, self->bytes_.data() + self->position_, taken);
        self->position_ += taken;
        return taken / size;
    }
    static int Seek(void* source, ogg_int64_t offset, int whence)
    {
        auto* self = static_cast<VorbisFile*>(source);
        const std::int64_t size = static_cast<std::int64_t>(self->bytes_.size());
        const std::int64_t base = whence == SEEK_SET   ? 0
                                  : whence == SEEK_CUR ? static_cast<std::int64_t>(self->position_)
                                                       : size;
        const std::int64_t target = base + offset;
        if (target < 0 || target > size) {
            return -1;
        }
        self->position_ = static_cast<std::size_t>(target);
        return 0;
    }
    static long Tell(void* source)
    {
        return static_cast<long>(static_cast<VorbisFile*>(source)->position_);
    }

    const Bytes bytes_;
    std::size_t position_ = 0;
    OggVorbis_File file_{};
    int openResult_ = -1;
};

std::uint32_t FirstPageSerial(const Bytes& bytes)
{
    // Ogg page header: "OggS", version, flags, granule (8), serial (4, LE).
    if (bytes.size() < 18 || std::memcmp(bytes.data(), "OggS", 4) != 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(bytes[14]) | static_cast<std::uint32_t>(bytes[15]) << 8 |
           static_cast<std::uint32_t>(bytes[16]) << 16 |
           static_cast<std::uint32_t>(bytes[17]) << 24;
}

SignalSpec SilenceWithClick(std::uint32_t channels, std::uint64_t frames, std::uint32_t sampleRate,
                            std::uint64_t clickFrame)
{
    SignalSpec shape;
    shape.sampleRate = sampleRate;
    shape.frames = frames;
    shape.channels.assign(channels, ChannelSignal{Waveform::Silence, 0.0, 0.0f, 1});
    shape.clicks.push_back(Click{clickFrame, 0.9f});
    return shape;
}

// ------------------------------------------------------------ Synthesize

TEST(TestAudioSynthesize, InterleavesSineDcAndSilenceByFormula)
{
    SignalSpec shape;
    shape.sampleRate = 44100;
    shape.frames = 1000;
    shape.channels = {ChannelSignal{Waveform::Sine, 1234.5, 0.75f, 1},
                     ChannelSignal{Waveform::Dc, 0.0, -0.3f, 1},
                     ChannelSignal{Waveform::Silence, 440.0, 0.5f, 1}};
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    ASSERT_EQ(pcm.size(), 3000u);
    for (std::size_t n = 0; n < 1000; ++n) {
        const double expected =
            0.75 * std::sin(2.0 * std::numbers::pi * 1234.5 * static_cast<double>(n) / 44100.0);
        ASSERT_NEAR(pcm[n * 3 + 0], expected, 1e-6) << "frame " << n;
        ASSERT_EQ(pcm[n * 3 + 1], -0.3f) << "frame " << n;
        ASSERT_EQ(pcm[n * 3 + 2], 0.0f) << "frame " << n;
    }
    EXPECT_EQ(pcm[0], 0.0f); // every sine starts at phase 0
}

TEST(TestAudioSynthesize, NoChannelsOrNoFramesGiveNoSamples)
{
    SignalSpec shape;
    shape.frames = 100;
    EXPECT_TRUE(testaudio::Synthesize(shape).empty());
    shape.frames = 0;
    shape.channels.resize(2);
    EXPECT_TRUE(testaudio::Synthesize(shape).empty());
}

// The reference generator the noise is specified by (xorshift32, 24-bit
// mantissa, seed 0 replaced): if this test fails, every generated noise file
// changes.
std::vector<float> ReferenceNoise(std::uint32_t seed, float amplitude, std::size_t count)
{
    std::uint32_t x = seed != 0 ? seed : 0x9E3779B9u;
    std::vector<float> out;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(
            static_cast<float>(amplitude * (static_cast<double>(x >> 8) / 8388608.0 - 1.0)));
    }
    return out;
}

TEST(TestAudioSynthesize, NoiseIsReproducibleBySeedAndUniformInRange)
{
    SignalSpec shape;
    shape.frames = 48000;
    shape.channels = {
        ChannelSignal{Waveform::Noise, 0.0, 0.5f, 7}, ChannelSignal{Waveform::Noise, 0.0, 0.5f, 7},
        ChannelSignal{Waveform::Noise, 0.0, 0.5f, 8}, ChannelSignal{Waveform::Noise, 0.0, 0.5f, 0}};
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    EXPECT_EQ(pcm, testaudio::Synthesize(shape));

    auto column = [&](std::size_t c) {
        std::vector<float> out;
        for (std::size_t n = 0; n < 48000; ++n) {
            out.push_back(pcm[n * 4 + c]);
        }
        return out;
    };
    // Same seed, same noise, whatever the channel; another seed, other noise.
    EXPECT_EQ(column(0), column(1));
    EXPECT_NE(column(0), column(2));
    EXPECT_EQ(column(0), ReferenceNoise(7, 0.5f, 48000));
    EXPECT_EQ(column(3), ReferenceNoise(0, 0.5f, 48000)); // seed 0 is usable
    EXPECT_NE(column(3), std::vector<float>(48000, 0.0f));

    for (std::size_t c : {0u, 2u, 3u}) {
        SCOPED_TRACE("channel " + std::to_string(c));
        const std::vector<float> noise = column(c);
        const auto [low, high] = std::minmax_element(noise.begin(), noise.end());
        EXPECT_GE(*low, -0.5f);
        EXPECT_LT(*high, 0.5f);
        EXPECT_LT(*low, -0.49f);
        EXPECT_GT(*high, 0.49f);
        double sum = 0.0;
        double squares = 0.0;
        for (float value : noise) {
            sum += value;
            squares += static_cast<double>(value) * value;
        }
        EXPECT_NEAR(sum / 48000.0, 0.0, 0.01);
        EXPECT_NEAR(squares / 48000.0, 0.25 / 3.0, 0.25 / 3.0 * 0.03); // uniform: A^2 / 3
    }

    // The sequence does not depend on the sample rate or the other channels.
    SignalSpec other;
    other.sampleRate = 8000;
    other.frames = 100;
    other.channels = {ChannelSignal{Waveform::Noise, 0.0, 0.5f, 7}};
    const std::vector<float> alone = testaudio::Synthesize(other);
    const std::vector<float> first = column(0);
    EXPECT_EQ(alone, std::vector<float>(first.begin(), first.begin() + 100));
}

TEST(TestAudioSynthesize, ClickIsAddedOnEveryChannelAtItsFrame)
{
    SignalSpec shape;
    shape.frames = 100;
    shape.channels = {ChannelSignal{Waveform::Silence, 0.0, 0.0f, 1},
                     ChannelSignal{Waveform::Dc, 0.0, 0.25f, 1}};
    shape.clicks = {Click{0, 0.5f}, Click{42, -0.75f}, Click{99, 1.0f}, Click{42, 0.125f}};
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    for (std::size_t n = 0; n < 100; ++n) {
        const float click = n == 0 ? 0.5f : n == 42 ? -0.625f : n == 99 ? 1.0f : 0.0f;
        EXPECT_EQ(pcm[n * 2 + 0], click) << "frame " << n;
        EXPECT_EQ(pcm[n * 2 + 1], 0.25f + click) << "frame " << n;
    }
}

TEST(TestAudioSynthesize, RejectsBadSpecs)
{
    SignalSpec good;
    good.frames = 10;
    good.channels = {ChannelSignal{}};
    EXPECT_NO_THROW((void)testaudio::Synthesize(good));

    SignalSpec shape = good;
    shape.sampleRate = 0;
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
    shape = good;
    shape.clicks = {Click{10, 0.5f}}; // one past the end
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
    shape = good;
    shape.clicks = {Click{9, std::numeric_limits<float>::infinity()}};
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
    shape = good;
    shape.channels[0].frequency = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
    shape = good;
    shape.channels[0].amplitude = std::numeric_limits<float>::infinity();
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
    shape = good;
    shape.frames = std::numeric_limits<std::uint64_t>::max() / 2;
    shape.channels.resize(3);
    EXPECT_THROW((void)testaudio::Synthesize(shape), std::invalid_argument);
}

// ------------------------------------------------------------ DistinctTones

TEST(TestAudioDistinctTones, UsesMultiplesOfTheBaseWhenTheyFit)
{
    const SignalSpec shape = testaudio::DistinctTones(8, 1234, 44100, 150.0);
    EXPECT_EQ(shape.sampleRate, 44100u);
    EXPECT_EQ(shape.frames, 1234u);
    EXPECT_TRUE(shape.clicks.empty());
    ASSERT_EQ(shape.channels.size(), 8u);
    for (std::size_t c = 0; c < 8; ++c) {
        EXPECT_EQ(shape.channels[c].waveform, Waveform::Sine);
        EXPECT_DOUBLE_EQ(shape.channels[c].frequency, 150.0 * static_cast<double>(c + 1));
        EXPECT_EQ(shape.channels[c].amplitude, 0.25f);
    }
    const SignalSpec defaults = testaudio::DistinctTones(2, 480);
    EXPECT_EQ(defaults.sampleRate, 48000u);
    EXPECT_DOUBLE_EQ(defaults.channels[0].frequency, 200.0);
    EXPECT_DOUBLE_EQ(defaults.channels[1].frequency, 400.0);
}

TEST(TestAudioDistinctTones, SpreadsManyChannelsUnderTheCeiling)
{
    struct Case {
        std::uint32_t channels;
        std::uint32_t sampleRate;
    };
    for (const Case& c : {Case{255, 48000}, Case{41, 48000}, Case{17, 8000}, Case{64, 22050}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.sampleRate));
        const double ceiling = testaudio::DistinctToneCeiling(c.sampleRate);
        EXPECT_LE(ceiling, 8000.0);
        EXPECT_LE(ceiling, 0.4 * c.sampleRate);
        const SignalSpec shape = testaudio::DistinctTones(c.channels, 10, c.sampleRate);
        ASSERT_EQ(shape.channels.size(), c.channels);
        const double step = shape.channels[0].frequency;
        EXPECT_GT(step, 0.0);
        for (std::size_t ch = 0; ch < c.channels; ++ch) {
            EXPECT_NEAR(shape.channels[ch].frequency, step * static_cast<double>(ch + 1), 1e-9);
        }
        EXPECT_NEAR(shape.channels.back().frequency, ceiling, 1e-9);
    }
    EXPECT_NEAR(testaudio::DistinctTones(255, 10).channels[0].frequency, 8000.0 / 255.0, 1e-12);
}

TEST(TestAudioDistinctTones, RejectsBadArguments)
{
    EXPECT_THROW((void)testaudio::DistinctTones(0, 10), std::invalid_argument);
    EXPECT_THROW((void)testaudio::DistinctTones(2, 10, 0), std::invalid_argument);
    EXPECT_THROW((void)testaudio::DistinctTones(2, 10, 48000, 0.0), std::invalid_argument);
    EXPECT_THROW((void)testaudio::DistinctTones(2, 10, 48000, -5.0), std::invalid_argument);
    EXPECT_THROW(
        (void)testaudio::DistinctTones(2, 10, 48000, std::numeric_limits<double>::infinity()),
        std::invalid_argument);
}

// ------------------------------------------------------------ Opus

TEST(TestAudioOpus, OneSecondDecodesToExactlyOneSecond)
{
    for (std::uint32_t channels : {1u, 2u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const SignalSpec shape = testaudio::DistinctTones(channels, 48000);
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), channels, 48000);
        const OpusFile file(bytes);
        ASSERT_TRUE(file) << "op_open_memory: " << file.Error();
        EXPECT_EQ(op_channel_count(file.get(), -1), static_cast<int>(channels));
        EXPECT_EQ(op_pcm_total(file.get(), -1), 48000);
        EXPECT_EQ(FrameCount(ReadAll(file.get()), channels), 48000u);
    }
}

TEST(TestAudioOpus, DecodedLengthIsExactForAnyFrameCount)
{
    for (std::uint64_t frames : {0u, 1u, 959u, 961u, 4801u}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        const SignalSpec shape = testaudio::DistinctTones(2, frames);
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), 2, 48000);
        const OpusFile file(bytes);
        ASSERT_TRUE(file);
        EXPECT_EQ(op_pcm_total(file.get(), -1), static_cast<ogg_int64_t>(frames));
        EXPECT_EQ(FrameCount(ReadAll(file.get()), 2), frames);
    }
}

TEST(TestAudioOpus, ResampledInputDecodesToTheScaledLength)
{
    struct Case {
        std::uint32_t sampleRate;
        std::uint64_t frames;
    };
    for (const Case& c : {Case{44100, 4410}, Case{44100, 1000}, Case{22050, 2205},
                          Case{16000, 1601}, Case{96000, 9601}, Case{8000, 0}}) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames at " + std::to_string(c.sampleRate));
        const SignalSpec shape = testaudio::DistinctTones(1, c.frames, c.sampleRate);
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), 1, c.sampleRate);
        const OpusFile file(bytes);
        ASSERT_TRUE(file);
        EXPECT_EQ(op_head(file.get(), -1)->input_sample_rate, c.sampleRate);
        // ceil(frames * 48000 / rate): libopusenc rounds the end granule up.
        const std::uint64_t expected = (c.frames * 48000 + c.sampleRate - 1) / c.sampleRate;
        EXPECT_EQ(op_pcm_total(file.get(), -1), static_cast<ogg_int64_t>(expected));
        EXPECT_EQ(FrameCount(ReadAll(file.get()), 1), expected);
    }
}

TEST(TestAudioOpus, ChoosesAndChecksTheMappingFamily)
{
    EXPECT_EQ(testaudio::OpusMappingFamily(1), 1);
    EXPECT_EQ(testaudio::OpusMappingFamily(2), 1);
    EXPECT_EQ(testaudio::OpusMappingFamily(8), 1);
    EXPECT_EQ(testaudio::OpusMappingFamily(9), 255);
    EXPECT_EQ(testaudio::OpusMappingFamily(255), 255);
    EXPECT_EQ(testaudio::OpusMappingFamily(2, 0), 0);
    EXPECT_EQ(testaudio::OpusMappingFamily(1, 255), 255);
    EXPECT_THROW((void)testaudio::OpusMappingFamily(3, 0), std::invalid_argument);
    EXPECT_THROW((void)testaudio::OpusMappingFamily(9, 1), std::invalid_argument);
    EXPECT_THROW((void)testaudio::OpusMappingFamily(0), std::invalid_argument);
    EXPECT_THROW((void)testaudio::OpusMappingFamily(256), std::invalid_argument);
    for (int family : {-2, 2, 3, 254, 256}) {
        EXPECT_THROW((void)testaudio::OpusMappingFamily(2, family), std::invalid_argument)
            << family;
    }

    // What ends up in the header.
    struct Case {
        std::uint32_t channels;
        int requested;
        int written;
    };
    for (const Case& c : {Case{1, -1, 1}, Case{2, -1, 1}, Case{1, 0, 0}, Case{2, 0, 0},
                          Case{6, -1, 1}, Case{2, 255, 255}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, family " +
                     std::to_string(c.requested));
        testaudio::OpusOptions options;
        options.mappingFamily = c.requested;
        const SignalSpec shape = testaudio::DistinctTones(c.channels, 960);
        const RawOpus raw = DecodeOpusRaw(
            testaudio::EncodeOpus(testaudio::Synthesize(shape), c.channels, 48000, options));
        ASSERT_EQ(raw.error, "");
        EXPECT_EQ(raw.family, c.written);
        EXPECT_EQ(raw.channels, static_cast<int>(c.channels));
    }
}

TEST(TestAudioOpus, EachChannelCarriesItsOwnTone)
{
    for (std::uint32_t channels : {1u, 2u, 8u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        SignalSpec shape = testaudio::DistinctTones(channels, 4800);
        std::size_t lfe = kNoChannel;
        if (testaudio::IsOpusLfeChannel(channels - 1, channels,
                                        testaudio::OpusMappingFamily(channels))) {
            lfe = channels - 1;
            shape.channels[lfe].frequency = 100.0; // the LFE keeps only low frequencies
        }
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), channels, 48000);
        const OpusFile file(bytes);
        ASSERT_TRUE(file);
        EXPECT_EQ(op_head(file.get(), -1)->mapping_family, 1);
        const std::vector<float> pcm = ReadAll(file.get());
        ASSERT_EQ(FrameCount(pcm, channels), 4800u);
        ExpectDistinctTones(pcm, shape, 0.25, 0, lfe);
    }
}

TEST(TestAudioOpus, LfeChannelOfFamilyOneKeepsOnlyLowFrequencies)
{
    EXPECT_TRUE(testaudio::IsOpusLfeChannel(5, 6, 1));
    EXPECT_TRUE(testaudio::IsOpusLfeChannel(6, 7, 1));
    EXPECT_TRUE(testaudio::IsOpusLfeChannel(7, 8, 1));
    EXPECT_FALSE(testaudio::IsOpusLfeChannel(4, 5, 1));
    EXPECT_FALSE(testaudio::IsOpusLfeChannel(4, 6, 1));
    EXPECT_FALSE(testaudio::IsOpusLfeChannel(7, 8, 255));

    SignalSpec shape = testaudio::DistinctTones(6, 4800);
    shape.channels[5].frequency = 1200.0;
    shape.channels[5].amplitude = 0.25f;
    const OpusFile file(testaudio::EncodeOpus(testaudio::Synthesize(shape), 6, 48000));
    ASSERT_TRUE(file);
    const std::vector<float> pcm = ReadAll(file.get());
    EXPECT_NEAR(ToneAmplitude(pcm, 6, 4, shape.channels[4].frequency, 48000), 0.25, 0.03);
    EXPECT_LT(ToneAmplitude(pcm, 6, 5, 1200.0, 48000), 0.05); // lost on the LFE

    // Family 255 has no LFE: the same tone goes through.
    testaudio::OpusOptions options;
    options.mappingFamily = 255;
    const RawOpus raw =
        DecodeOpusRaw(testaudio::EncodeOpus(testaudio::Synthesize(shape), 6, 48000, options));
    ASSERT_EQ(raw.error, "");
    EXPECT_NEAR(ToneAmplitude(raw.pcm, 6, 5, 1200.0, 48000), 0.25, 0.03);
}

// The raw decoder the many-channel tests rely on gives what opusfile gives.
TEST(TestAudioOpus, RawDecoderMatchesOpusfile)
{
    SignalSpec shape = testaudio::DistinctTones(3, 3000, 44100);
    shape.clicks = {Click{1000, 0.5f}};
    const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), 3, 44100);
    const RawOpus raw = DecodeOpusRaw(bytes);
    ASSERT_EQ(raw.error, "");
    const OpusFile file(bytes);
    ASSERT_TRUE(file);
    const OpusHead* head = op_head(file.get(), -1);
    EXPECT_EQ(raw.channels, head->channel_count);
    EXPECT_EQ(raw.preSkip, static_cast<int>(head->pre_skip));
    EXPECT_EQ(raw.inputSampleRate, head->input_sample_rate);
    EXPECT_EQ(raw.family, head->mapping_family);
    EXPECT_EQ(raw.streams, head->stream_count);
    EXPECT_EQ(raw.coupledStreams, head->coupled_count);
    EXPECT_TRUE(raw.endOfStream);
    const std::vector<float> pcm = ReadAll(file.get());
    ASSERT_EQ(raw.pcm.size(), pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        ASSERT_NEAR(raw.pcm[i], pcm[i], 1e-6) << "sample " << i;
    }
}

// opusfile (which the plug-in decodes with) refuses mapping family 255, so
// files of more than 8 channels can only be checked with the raw decoder.
TEST(TestAudioOpus, ManyChannelsUseFamily255WhichOpusfileRefuses)
{
    for (std::uint32_t channels : {12u, 255u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const SignalSpec shape = testaudio::DistinctTones(channels, 4800);
        const Bytes bytes = testaudio::EncodeOpus(testaudio::Synthesize(shape), channels, 48000);
        const OpusFile refused(bytes);
        EXPECT_FALSE(refused);
        EXPECT_EQ(refused.Error(), OP_EIMPL);

        const RawOpus raw = DecodeOpusRaw(bytes);
        ASSERT_EQ(raw.error, "");
        EXPECT_EQ(raw.channels, static_cast<int>(channels));
        EXPECT_EQ(raw.family, 255);
        EXPECT_EQ(raw.streams, static_cast<int>(channels));
        EXPECT_EQ(raw.coupledStreams, 0);
        for (std::size_t c = 0; c < channels; ++c) {
            EXPECT_EQ(raw.mapping[c], c);
        }
        ASSERT_EQ(FrameCount(raw.pcm, channels), 4800u);
        // All pairs for 12 channels; the nearest tones on either side for 255.
        ExpectDistinctTones(raw.pcm, shape, 0.25, channels > 12 ? 2 : 0);
    }
}

TEST(TestAudioOpus, SineLevelIsKeptButDcIsRemovedByTheEncoder)
{
    SignalSpec shape;
    shape.frames = 24000;
    shape.channels = {ChannelSignal{Waveform::Sine, 500.0, 0.4f, 1},
                     ChannelSignal{Waveform::Dc, 0.0, 0.5f, 1}};
    const OpusFile file(testaudio::EncodeOpus(testaudio::Synthesize(shape), 2, 48000));
    ASSERT_TRUE(file);
    const std::vector<float> pcm = ReadAll(file.get());
    ASSERT_EQ(FrameCount(pcm, 2), 24000u);
    EXPECT_NEAR(ToneAmplitude(pcm, 2, 0, 500.0, 48000), 0.4, 0.02);
    // libopus high-passes its input at about 3 Hz: the DC starts near its
    // level and is gone a few hundred milliseconds later.
    EXPECT_GT(Mean(pcm, 2, 1, 0, 240), 0.3);
    EXPECT_LT(std::fabs(Mean(pcm, 2, 1, 19200, 24000)), 0.05);
}

TEST(TestAudioOpus, HeaderGainIsWrittenAndAppliedByOpusfile)
{
    const SignalSpec shape = testaudio::DistinctTones(1, 4800);
    testaudio::OpusOptions options;
    options.headerGainQ8 = -1536; // -6 dB
    const OpusFile file(testaudio::EncodeOpus(testaudio::Synthesize(shape), 1, 48000, options));
    ASSERT_TRUE(file);
    EXPECT_EQ(op_head(file.get(), -1)->output_gain, -1536);
    const double expected = 0.25 * std::pow(10.0, -6.0 / 20.0);
    EXPECT_NEAR(ToneAmplitude(ReadAll(file.get()), 1, 0, 200.0, 48000), expected, 0.05 * expected);
}

TEST(TestAudioOpus, R128GainsAndExtraTagsAreWritten)
{
    const SignalSpec shape = testaudio::DistinctTones(2, 2400);
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    testaudio::OpusOptions options;
    options.r128TrackGainQ8 = -1234;
    options.r128AlbumGainQ8 = 567;
    options.comments = {{"TITLE", "Tone = test"}, {"ARTIST", "vy"}, {"TITLE", "second"}};
    const Bytes bytes = testaudio::EncodeOpus(pcm, 2, 48000, options);
    const OpusFile file(bytes);
    ASSERT_TRUE(file);
    const OpusTags* tags = op_tags(file.get(), -1);
    int gain = 0;
    ASSERT_EQ(opus_tags_get_track_gain(tags, &gain), 0);
    EXPECT_EQ(gain, -1234);
    ASSERT_EQ(opus_tags_get_album_gain(tags, &gain), 0);
    EXPECT_EQ(gain, 567);
    EXPECT_STREQ(opus_tags_query(tags, "R128_TRACK_GAIN", 0), "-1234");
    EXPECT_EQ(opus_tags_query_count(tags, "R128_TRACK_GAIN"), 1);
    EXPECT_STREQ(opus_tags_query(tags, "TITLE", 0), "Tone = test");
    EXPECT_STREQ(opus_tags_query(tags, "TITLE", 1), "second");
    EXPECT_STREQ(opus_tags_query(tags, "ARTIST", 0), "vy");
    EXPECT_EQ(op_head(file.get(), -1)->output_gain, 0);

    // opusfile applies the track gain when asked: -1234/256 dB on top of the header gain.
    ASSERT_EQ(op_set_gain_offset(file.get(), OP_TRACK_GAIN, 0), 0);
    const double expected = 0.25 * std::pow(10.0, -1234.0 / 256.0 / 20.0);
    EXPECT_NEAR(ToneAmplitude(ReadAll(file.get()), 2, 1, 400.0, 48000), expected, 0.05 * expected);

    // No tags unless asked.
    const OpusFile plain(testaudio::EncodeOpus(pcm, 2, 48000));
    ASSERT_TRUE(plain);
    EXPECT_EQ(opus_tags_get_track_gain(op_tags(plain.get(), -1), &gain), OP_FALSE);
    EXPECT_EQ(opus_tags_get_album_gain(op_tags(plain.get(), -1), &gain), OP_FALSE);
}

TEST(TestAudioOpus, ClickMarkerLandsOnItsFrame)
{
    struct Case {
        std::uint32_t sampleRate;
        std::uint64_t clickFrame;
    };
    for (const Case& c :
         {Case{48000, 12345}, Case{48000, 20}, Case{44100, 9000}, Case{16000, 5001}}) {
        SCOPED_TRACE("click at " + std::to_string(c.clickFrame) + " at " +
                     std::to_string(c.sampleRate));
        const SignalSpec shape = SilenceWithClick(2, 16000, c.sampleRate, c.clickFrame);
        const OpusFile file(testaudio::EncodeOpus(testaudio::Synthesize(shape), 2, c.sampleRate));
        ASSERT_TRUE(file);
        const std::vector<float> pcm = ReadAll(file.get());
        const double expected = static_cast<double>(c.clickFrame) * 48000.0 / c.sampleRate;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            EXPECT_NEAR(static_cast<double>(PeakFrame(pcm, 2, channel)), expected, 2.0)
                << "channel " << channel;
        }
    }
}

TEST(TestAudioOpus, OutputIsDeterministicWithTheGivenSerialNumber)
{
    SignalSpec shape = testaudio::DistinctTones(2, 9600, 44100);
    shape.channels[1].waveform = Waveform::Noise;
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    const Bytes first = testaudio::EncodeOpus(pcm, 2, 44100);
    EXPECT_EQ(first, testaudio::EncodeOpus(pcm, 2, 44100));
    EXPECT_EQ(FirstPageSerial(first),
              static_cast<std::uint32_t>(testaudio::OpusOptions{}.serialNumber));

    testaudio::OpusOptions options;
    options.serialNumber = 1234567;
    const Bytes other = testaudio::EncodeOpus(pcm, 2, 44100, options);
    EXPECT_EQ(FirstPageSerial(other), 1234567u);
    EXPECT_EQ(DecodeOpusRaw(other).serialNumber, 1234567u);
    EXPECT_NE(first, other);
}

TEST(TestAudioOpus, BitrateAndComplexityAreApplied)
{
    SignalSpec shape;
    shape.frames = 24000;
    shape.channels = {ChannelSignal{Waveform::Noise, 0.0, 0.5f, 3},
                     ChannelSignal{Waveform::Noise, 0.0, 0.5f, 4}};
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    testaudio::OpusOptions low;
    low.bitrate = 32000;
    testaudio::OpusOptions high;
    high.bitrate = 192000;
    const Bytes lowBytes = testaudio::EncodeOpus(pcm, 2, 48000, low);
    const Bytes highBytes = testaudio::EncodeOpus(pcm, 2, 48000, high);
    // Half a second of noise: about bitrate / 16 bytes, plus ~1 kB of headers.
    EXPECT_NEAR(static_cast<double>(lowBytes.size()), 32000.0 / 16.0 + 1000.0, 1000.0);
    EXPECT_NEAR(static_cast<double>(highBytes.size()), 192000.0 / 16.0 + 1000.0, 3000.0);

    testaudio::OpusOptions fast;
    fast.complexity = 0;
    const Bytes fastBytes = testaudio::EncodeOpus(pcm, 2, 48000, fast);
    EXPECT_NE(fastBytes, testaudio::EncodeOpus(pcm, 2, 48000));
    const OpusFile file(fastBytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(op_pcm_total(file.get(), -1), 24000);
}

TEST(TestAudioOpus, MaxPageDurationSetsThePageSize)
{
    const std::vector<float> pcm = testaudio::Synthesize(testaudio::DistinctTones(1, 48000));
    // Two header pages, then the audio.
    const RawOpus defaults = DecodeOpusRaw(testaudio::EncodeOpus(pcm, 1, 48000));
    ASSERT_EQ(defaults.error, "");
    EXPECT_LE(defaults.pages, 2 + 2); // about 1 s a page
    testaudio::OpusOptions options;
    options.maxPageDuration = 4800;
    const Bytes small = testaudio::EncodeOpus(pcm, 1, 48000, options);
    const RawOpus many = DecodeOpusRaw(small);
    ASSERT_EQ(many.error, "");
    EXPECT_GE(many.pages, 2 + 10);
    EXPECT_LE(many.pages, 2 + 11);
    const OpusFile file(small);
    ASSERT_TRUE(file);
    EXPECT_EQ(op_pcm_total(file.get(), -1), 48000);
    EXPECT_EQ(ReadAll(file.get()), defaults.pcm); // same packets, other pages
}

TEST(TestAudioOpus, RejectsBadArguments)
{
    const std::vector<float> stereo(200, 0.1f);
    auto expectRejected = [&](const std::vector<float>& pcm, std::uint32_t channels,
                              std::uint32_t sampleRate, const testaudio::OpusOptions& options,
                              const char* what) {
        EXPECT_THROW((void)testaudio::EncodeOpus(pcm, channels, sampleRate, options),
                     std::invalid_argument)
            << what;
    };
    const testaudio::OpusOptions defaults;
    expectRejected(stereo, 0, 48000, defaults, "0 channels");
    expectRejected(std::vector<float>(256 * 2, 0.0f), 256, 48000, defaults, "256 channels");
    expectRejected(std::vector<float>(201, 0.0f), 2, 48000, defaults, "size not a multiple");
    expectRejected(stereo, 2, 0, defaults, "rate 0");
    std::vector<float> withNan = stereo;
    withNan[57] = std::numeric_limits<float>::quiet_NaN();
    expectRejected(withNan, 2, 48000, defaults, "NaN sample");
    std::vector<float> withInfinity = stereo;
    withInfinity[3] = -std::numeric_limits<float>::infinity();
    expectRejected(withInfinity, 2, 48000, defaults, "infinite sample");

    testaudio::OpusOptions options;
    options.mappingFamily = 0;
    expectRejected(std::vector<float>(300, 0.0f), 3, 48000, options, "family 0, 3 channels");
    options = {};
    options.mappingFamily = 2;
    expectRejected(stereo, 2, 48000, options, "family 2");
    options = {};
    options.bitrate = -1;
    expectRejected(stereo, 2, 48000, options, "negative bitrate");
    options = {};
    options.maxPageDuration = -1;
    expectRejected(stereo, 2, 48000, options, "negative page duration");
    options = {};
    options.complexity = 11;
    expectRejected(stereo, 2, 48000, options, "complexity 11");
    options = {};
    options.headerGainQ8 = 32768;
    expectRejected(stereo, 2, 48000, options, "header gain");
    options = {};
    options.r128TrackGainQ8 = -32769;
    expectRejected(stereo, 2, 48000, options, "track gain");
    options = {};
    options.r128AlbumGainQ8 = 40000;
    expectRejected(stereo, 2, 48000, options, "album gain");
    options = {};
    options.comments = {{"A=B", "x"}};
    expectRejected(stereo, 2, 48000, options, "key with =");
    options = {};
    options.comments = {{"", "x"}};
    expectRejected(stereo, 2, 48000, options, "empty key");

    // Out of the usual range but accepted, unclipped.
    EXPECT_NO_THROW((void)testaudio::EncodeOpus(std::vector<float>(200, 1.5f), 2, 48000));
}

// ------------------------------------------------------------ Vorbis

TEST(TestAudioVorbis, DecodesToExactLengthRateAndChannels)
{
    struct Case {
        std::uint32_t sampleRate;
        std::uint32_t channels;
        std::uint64_t frames;
    };
    for (const Case& c :
         {Case{8000, 1, 807}, Case{22050, 2, 2212}, Case{44100, 2, 4417}, Case{48000, 6, 4801},
          Case{96000, 1, 9605}, Case{48000, 12, 4800}, Case{44100, 2, 0}, Case{44100, 1, 1}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.sampleRate) +
                     ", " + std::to_string(c.frames) + " frames");
        const SignalSpec shape = testaudio::DistinctTones(c.channels, c.frames, c.sampleRate);
        const Bytes bytes =
            testaudio::EncodeVorbis(testaudio::Synthesize(shape), c.channels, c.sampleRate);
        VorbisFile file(bytes);
        ASSERT_EQ(file.OpenResult(), 0);
        EXPECT_EQ(file.Channels(), static_cast<int>(c.channels));
        EXPECT_EQ(ov_info(file.Get(), -1)->rate, static_cast<long>(c.sampleRate));
        EXPECT_EQ(ov_pcm_total(file.Get(), -1), static_cast<ogg_int64_t>(c.frames));
        EXPECT_EQ(FrameCount(file.ReadAll(), c.channels), c.frames);
    }
}

TEST(TestAudioVorbis, EachChannelCarriesItsOwnTone)
{
    struct Case {
        std::uint32_t sampleRate;
        std::uint32_t channels;
        float quality;
    };
    for (const Case& c : {Case{48000, 2, 0.5f}, Case{44100, 6, 0.5f}, Case{32000, 6, 0.5f},
                          Case{48000, 8, 0.5f}, Case{22050, 12, 0.5f}, Case{16000, 2, -0.1f}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.sampleRate) +
                     ", quality " + std::to_string(c.quality));
        SignalSpec shape = testaudio::DistinctTones(c.channels, c.sampleRate / 10, c.sampleRate);
        std::size_t lfe = kNoChannel;
        if (testaudio::IsVorbisLfeChannel(c.channels - 1, c.channels, c.sampleRate)) {
            lfe = c.channels - 1;
            shape.channels[lfe].frequency = 100.0; // the LFE keeps only low frequencies
        }
        testaudio::VorbisOptions options;
        options.quality = c.quality;
        VorbisFile file(testaudio::EncodeVorbis(testaudio::Synthesize(shape), c.channels,
                                                c.sampleRate, options));
        ASSERT_EQ(file.OpenResult(), 0);
        const std::vector<float> pcm = file.ReadAll();
        ASSERT_EQ(FrameCount(pcm, c.channels), shape.frames);
        ExpectDistinctTones(pcm, shape, 0.25, 0, lfe);
    }
}

TEST(TestAudioVorbis, LfeChannelOfFiveOneKeepsOnlyLowFrequencies)
{
    EXPECT_FALSE(testaudio::IsVorbisLfeChannel(4, 6, 48000));
    EXPECT_FALSE(testaudio::IsVorbisLfeChannel(5, 7, 48000));
    EXPECT_FALSE(testaudio::IsVorbisLfeChannel(7, 8, 48000));
    // libvorbisenc codes channel 5 of 6 as an LFE at 40..70 kHz only.
    for (std::uint32_t sampleRate : {39999u, 40000u, 44100u, 70000u, 70001u}) {
        SCOPED_TRACE(std::to_string(sampleRate) + " Hz");
        SignalSpec shape = testaudio::DistinctTones(6, sampleRate / 20, sampleRate);
        shape.channels[5].frequency = 1200.0;
        VorbisFile file(testaudio::EncodeVorbis(testaudio::Synthesize(shape), 6, sampleRate));
        ASSERT_EQ(file.OpenResult(), 0);
        const std::vector<float> pcm = file.ReadAll();
        EXPECT_NEAR(ToneAmplitude(pcm, 6, 4, shape.channels[4].frequency, sampleRate), 0.25, 0.03);
        const double lfeTone = ToneAmplitude(pcm, 6, 5, 1200.0, sampleRate);
        if (testaudio::IsVorbisLfeChannel(5, 6, sampleRate)) {
            EXPECT_LT(lfeTone, 0.05);
        } else {
            EXPECT_NEAR(lfeTone, 0.25, 0.03);
        }
    }
}

TEST(TestAudioVorbis, DcLevelIsPreserved)
{
    SignalSpec shape;
    shape.sampleRate = 44100;
    shape.frames = 22050;
    shape.channels = {ChannelSignal{Waveform::Dc, 0.0, 0.5f, 1},
                     ChannelSignal{Waveform::Dc, 0.0, -0.25f, 1}};
    VorbisFile file(testaudio::EncodeVorbis(testaudio::Synthesize(shape), 2, 44100));
    ASSERT_EQ(file.OpenResult(), 0);
    const std::vector<float> pcm = file.ReadAll();
    ASSERT_EQ(FrameCount(pcm, 2), 22050u);
    EXPECT_NEAR(Mean(pcm, 2, 0, 0, 22050), 0.5, 0.02);
    EXPECT_NEAR(Mean(pcm, 2, 1, 0, 22050), -0.25, 0.01);
    EXPECT_NEAR(Mean(pcm, 2, 0, 0, 441), 0.5, 0.02); // from the first samples on
}

TEST(TestAudioVorbis, ReplayGainAndExtraTagsAreWritten)
{
    const std::vector<float> pcm = testaudio::Synthesize(testaudio::DistinctTones(1, 4410, 44100));
    testaudio::VorbisOptions options;
    options.replayGainTrack = "-6.50 dB";
    options.replayGainAlbum = "+1.25 dB";
    options.comments = {{"TITLE", "a = b"}, {"TITLE", "second"}};
    VorbisFile file(testaudio::EncodeVorbis(pcm, 1, 44100, options));
    ASSERT_EQ(file.OpenResult(), 0);
    EXPECT_EQ(file.Comment("REPLAYGAIN_TRACK_GAIN"), "-6.50 dB");
    EXPECT_EQ(file.Comment("REPLAYGAIN_ALBUM_GAIN"), "+1.25 dB");
    EXPECT_EQ(file.Comment("TITLE"), "a = b");
    EXPECT_STREQ(vorbis_comment_query(ov_comment(file.Get(), -1), "TITLE", 1), "second");

    VorbisFile plain(testaudio::EncodeVorbis(pcm, 1, 44100));
    ASSERT_EQ(plain.OpenResult(), 0);
    EXPECT_EQ(plain.Comment("REPLAYGAIN_TRACK_GAIN"), "<absent>");
    EXPECT_EQ(plain.Comment("REPLAYGAIN_ALBUM_GAIN"), "<absent>");
}

TEST(TestAudioVorbis, ClickMarkerLandsOnItsFrame)
{
    struct Case {
        std::uint32_t sampleRate;
        std::uint64_t clickFrame;
    };
    for (const Case& c : {Case{48000, 12345}, Case{44100, 3}, Case{8000, 7999}}) {
        SCOPED_TRACE("click at " + std::to_string(c.clickFrame) + " at " +
                     std::to_string(c.sampleRate));
        const SignalSpec shape = SilenceWithClick(2, 16000, c.sampleRate, c.clickFrame);
        VorbisFile file(testaudio::EncodeVorbis(testaudio::Synthesize(shape), 2, c.sampleRate));
        ASSERT_EQ(file.OpenResult(), 0);
        const std::vector<float> pcm = file.ReadAll();
        for (std::size_t channel = 0; channel < 2; ++channel) {
            EXPECT_NEAR(static_cast<double>(PeakFrame(pcm, 2, channel)),
                        static_cast<double>(c.clickFrame), 2.0)
                << "channel " << channel;
        }
    }
}

TEST(TestAudioVorbis, OutputIsDeterministicWithTheGivenSerialNumber)
{
    SignalSpec shape = testaudio::DistinctTones(2, 8820, 44100);
    shape.channels[0].waveform = Waveform::Noise;
    const std::vector<float> pcm = testaudio::Synthesize(shape);
    const Bytes first = testaudio::EncodeVorbis(pcm, 2, 44100);
    EXPECT_EQ(first, testaudio::EncodeVorbis(pcm, 2, 44100));
    EXPECT_EQ(FirstPageSerial(first),
              static_cast<std::uint32_t>(testaudio::VorbisOptions{}.serialNumber));
    testaudio::VorbisOptions options;
    options.serialNumber = 42;
    const Bytes other = testaudio::EncodeVorbis(pcm, 2, 44100, options);
    EXPECT_EQ(FirstPageSerial(other), 42u);
    EXPECT_NE(first, other);

    options = {};
    options.quality = 0.9f;
    EXPECT_GT(testaudio::EncodeVorbis(pcm, 2, 44100, options).size(), first.size());
}

TEST(TestAudioVorbis, RejectsBadArguments)
{
    const std::vector<float> stereo(200, 0.1f);
    auto expectRejected = [&](const std::vector<float>& pcm, std::uint32_t channels,
                              std::uint32_t sampleRate, const testaudio::VorbisOptions& options,
                              const char* what) {
        EXPECT_THROW((void)testaudio::EncodeVorbis(pcm, channels, sampleRate, options),
                     std::invalid_argument)
            << what;
    };
    const testaudio::VorbisOptions defaults;
    expectRejected(stereo, 0, 48000, defaults, "0 channels");
    expectRejected(std::vector<float>(512, 0.0f), 256, 48000, defaults, "256 channels");
    expectRejected(std::vector<float>(201, 0.0f), 2, 48000, defaults, "size not a multiple");
    expectRejected(stereo, 2, 0, defaults, "rate 0");
    expectRejected(stereo, 2, 400000, defaults, "rate without an encoder setup");
    std::vector<float> withNan = stereo;
    withNan[1] = std::numeric_limits<float>::quiet_NaN();
    expectRejected(withNan, 2, 48000, defaults, "NaN sample");

    testaudio::VorbisOptions options;
    options.quality = 1.01f;
    expectRejected(stereo, 2, 48000, options, "quality above 1");
    options.quality = -0.2f;
    expectRejected(stereo, 2, 48000, options, "quality below -0.1");
    options.quality = std::numeric_limits<float>::quiet_NaN();
    expectRejected(stereo, 2, 48000, options, "NaN quality");
    options = {};
    options.comments = {{"KEY=", "x"}};
    expectRejected(stereo, 2, 48000, options, "key with =");
    options = {};
    options.replayGainTrack = std::string("-1 dB\0x", 7);
    expectRejected(stereo, 2, 48000, options, "NUL in a value");
}

// ------------------------------------------------------------ WriteFile

// A fresh, empty folder for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("vy-testaudio-" + std::string(info->name()) + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                 std::to_string(counter.fetch_add(1)));
        std::filesystem::create_directories(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TestAudioWriteFile, WritesTheBytesAndLeavesNoTemporaryFile)
{
    ScratchFolder folder;
    const std::filesystem::path target = folder.Path() / "tone.opus";
    const Bytes bytes =
        testaudio::EncodeOpus(testaudio::Synthesize(testaudio::DistinctTones(2, 960)), 2, 48000);
    ASSERT_TRUE(testaudio::WriteFile(target, bytes));
    EXPECT_EQ(ReadFileBytes(target), bytes);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"tone.opus"});

    // Replaced whole, also by something shorter or empty.
    const Bytes shorter = {1, 2, 3};
    ASSERT_TRUE(testaudio::WriteFile(target, shorter));
    EXPECT_EQ(ReadFileBytes(target), shorter);
    ASSERT_TRUE(testaudio::WriteFile(target, {}));
    EXPECT_TRUE(ReadFileBytes(target).empty());
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"tone.opus"});
}

TEST(TestAudioWriteFile, FailsWithoutLeavingAFileWhenTheFolderIsMissing)
{
    ScratchFolder folder;
    const std::filesystem::path missing = folder.Path() / "missing";
    EXPECT_FALSE(testaudio::WriteFile(missing / "tone.ogg", Bytes{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(folder.Entries().empty());
}

TEST(TestAudioWriteFile, FailsWithoutLeavingAFileWhenTheTargetIsAFolder)
{
    ScratchFolder folder;
    const std::filesystem::path target = folder.Path() / "taken";
    std::filesystem::create_directory(target);
    std::ofstream(target / "inside") << "kept";
    EXPECT_FALSE(testaudio::WriteFile(target, Bytes{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"taken"});
    EXPECT_EQ(ReadFileBytes(target / "inside"), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_FALSE(testaudio::WriteFile(std::filesystem::path(), Bytes{1}));
}

} // namespace
