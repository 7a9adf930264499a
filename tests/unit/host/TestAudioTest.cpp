// The test-audio encoders, read back with opusfile and vorbisfile: their
// files decode to the channels and the length asked for. (The tones they
// carry are heard by the decoder tests.)
#include "host/TestAudio.h"

#include <gtest/gtest.h>

#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

// Hands vorbisfile a byte vector, seekable, so that it can tell the length.
struct MemoryReader {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at = 0;

    static std::size_t Read(void* into, std::size_t size, std::size_t count, void* source)
    {
        auto& reader = *static_cast<MemoryReader*>(source);
        const std::size_t n = size == 0 ? 0 : std::min(count, (reader.bytes.size() - reader.at) / size);
        std::memcpy(into, reader.bytes.data() + reader.at, n * size);
        reader.at += n * size;
        return n;
    }
    static int Seek(void* source, ogg_int64_t offset, int whence)
    {
        auto& reader = *static_cast<MemoryReader*>(source);
        const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(reader.at)
                                                                             : static_cast<ogg_int64_t>(reader.bytes.size());
        if (base + offset < 0 || base + offset > static_cast<ogg_int64_t>(reader.bytes.size()))
            return -1;
        reader.at = static_cast<std::size_t>(base + offset);
        return 0;
    }
    static long Tell(void* source) { return static_cast<long>(static_cast<MemoryReader*>(source)->at); }
    static constexpr ov_callbacks kCallbacks{Read, Seek, nullptr, Tell};
};

TEST(TestAudio, OpusAndVorbisFilesDecodeToTheChannelsAndLengthAsked)
{
    // Opus or Vorbis, channels, input rate, frames; the length decoded (Opus
    // at 48 kHz: 4801 frames end inside a packet, 44.1 kHz input is resampled).
    const std::tuple<bool, int, std::uint32_t, std::uint64_t, std::int64_t> rows[] = {
        {true, 1, 48000, 4801, 4801}, {true, 2, 44100, 4410, 4800}, {true, 8, 48000, 4800, 4800},
        {true, 2, 48000, 0, 0},       {false, 1, 8000, 807, 807},   {false, 6, 48000, 4801, 4801},
        {false, 2, 44100, 0, 0}};
    for (const auto& [opus, channels, rate, frames, length] : rows) {
        SCOPED_TRACE(testing::Message() << (opus ? "Opus, " : "Vorbis, ") << channels << " channels, " << frames);
        const std::vector<float> pcm = testaudio::Synthesize(testaudio::DistinctTones(channels, frames, rate));
        const auto bytes = opus ? testaudio::EncodeOpus(pcm, channels, rate) : testaudio::EncodeVorbis(pcm, channels, rate);
        int got = 0;
        std::int64_t declared = -1, decoded = 0;
        if (opus) {
            int error = 0;
            OggOpusFile* file = op_open_memory(bytes.data(), bytes.size(), &error);
            ASSERT_NE(file, nullptr) << error;
            std::tie(got, declared) = std::tuple(op_channel_count(file, -1), op_pcm_total(file, -1));
            std::vector<float> buffer(5760 * channels);
            for (int n; (n = op_read_float(file, buffer.data(), static_cast<int>(buffer.size()), nullptr)) > 0;)
                decoded += n;
            op_free(file);
        } else {
            OggVorbis_File file;
            MemoryReader in{bytes};
            ASSERT_EQ(ov_open_callbacks(&in, &file, nullptr, 0, MemoryReader::kCallbacks), 0);
            std::tie(got, declared) = std::tuple(ov_info(&file, -1)->channels, ov_pcm_total(&file, -1));
            EXPECT_EQ(ov_info(&file, -1)->rate, static_cast<long>(rate));
            float** samples = nullptr;
            for (long n; (n = ov_read_float(&file, &samples, 4096, nullptr)) > 0;)
                decoded += n;
            ov_clear(&file);
        }
        EXPECT_EQ(std::tuple(got, declared, decoded), std::tuple(channels, length, length));
    }
}

} // namespace
