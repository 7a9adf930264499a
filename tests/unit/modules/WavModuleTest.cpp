// The WAV decoder module library (modules/wav), loaded from its own image
// and driven through its GetModuleInstance export as the plug-in drives a
// linked module; plus its header reader on bytes directly.
#include "RiffBuilder.h"
#include "host/HostTestSupport.h"

#include <modules/wav/WavHeader.h>

#include <host/MemoryStorageProvider.h>
#include <host/PluginLibrary.h>
#include <host/WavWriter.h>

#include <vymultitrack/GetModuleInstance.h>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

namespace {

using rifftest::Bytes;
using rifftest::Chunk;
using Decoder = hosttest::Owned<IHSSWaveDecoder>;

// `count` distinct 16-bit samples spread over the whole range.
std::vector<std::int16_t> Pattern16(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(i * 7919u + 32768u);
    return samples;
}

// `count` (at least 6) distinct floats, first those a conversion would
// change: -0, a denormal, out-of-range magnitudes, infinity, a NaN with a payload.
std::vector<float> PatternFloat(std::size_t count)
{
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(std::sin(static_cast<double>(i) * 0.37)) * 0.9f;
    const float specials[] = {-0.0f, std::numeric_limits<float>::denorm_min(), 3.5f, -1e30f,
                              std::numeric_limits<float>::infinity(), std::bit_cast<float>(0x7FC12345u)};
    std::copy(std::begin(specials), std::end(specials), samples.begin());
    return samples;
}

// The bytes of `samples` as they lie in memory, as a decoder delivers them.
template <typename T> Bytes Raw(const std::vector<T>& samples)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
    return Bytes(bytes, bytes + samples.size() * sizeof(T));
}

class WavModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Load(VY_WAV_MODULE_PATH)) << library.Error();
        ASSERT_NE(entry = library.GetModuleInstance(), nullptr);
        IHSSModule* made = nullptr;
        ASSERT_EQ(entry(&made, provider.get(), nullptr, nullptr), S_OK);
        module.reset(made);
    }

    // Opens `bytes` stored as `name`: the decoder (or null) and the code.
    std::pair<Decoder, HRESULT> Open(const std::u16string& name, Bytes bytes, host::StreamFaults faults = {})
    {
        provider->Add(name, std::move(bytes), faults);
        IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1); // must be overwritten
        const HRESULT code = module->OpenMediaInstance(name.c_str(), &decoder);
        EXPECT_EQ(code == S_OK, decoder != nullptr) << "a decoder comes with S_OK and only with it";
        return {Decoder(code == S_OK ? decoder : nullptr), code};
    }

    // Renders to the end in blocks of `block` frames of `frameBytes` bytes;
    // the status must be 1 exactly when the block was filled.
    static Bytes RenderAll(IHSSWaveDecoder& decoder, std::size_t frameBytes, std::uint32_t block)
    {
        Bytes out, buffer(block * frameBytes);
        for (std::uint32_t status = 1, rendered = 0; status == 1;) {
            EXPECT_EQ(decoder.Render(buffer.data(), block, &rendered, &status), S_OK);
            EXPECT_EQ(status, rendered == block ? 1u : 0u);
            out.insert(out.end(), buffer.begin(), buffer.begin() + std::min<std::ptrdiff_t>(rendered, block) * frameBytes);
        }
        return out;
    }

    host::PluginLibrary library; // outlives the module, whose code it holds
    GetModuleInstanceFunction entry = nullptr;
    hosttest::Owned<host::MemoryStorageProvider> provider{host::MemoryStorageProvider::Create()};
    hosttest::Owned<IHSSModule> module;
};

TEST_F(WavModuleTest, DescribesItselfAndChecksItsArguments)
{
    char16_t shortName[64];
    char16_t text[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, text, 3), S_OK);
    EXPECT_EQ(std::u16string(shortName), u"RIFF wave");
    EXPECT_EQ(std::u16string(text, 4), std::u16string(u".w\0#", 4)) << "cut to the buffer's length";
    EXPECT_EQ(module->EnumSupportedExtension(1, shortName, text, 8), S_FALSE);
    EXPECT_EQ(module->GetCopyrightText(text, 0), S_OK);
    EXPECT_EQ(text[0], u'.') << "a length of 0 writes nothing";
    EXPECT_EQ(module->GetDescriptionText(text, 5), S_OK);
    EXPECT_EQ(std::u16string(text).size(), 4u);
    EXPECT_EQ(module->GetDescriptionText(nullptr, 4), E_INVALIDARG);
    void* out = module.get();
    EXPECT_EQ(module->QueryInterface(IID_IHSSReserved, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1);
    EXPECT_EQ(module->OpenMediaInstance(u"missing.wav", &decoder), STG_E_FILENOTFOUND) << "the provider's code";
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(module->OpenMediaInstance(nullptr, &decoder), E_INVALIDARG);

    EXPECT_EQ(provider->AddRef(), 3u) << "the test's, the module's and this one";
    module.reset();
    EXPECT_EQ(provider->Release(), 1u);
}

TEST_F(WavModuleTest, DeliversEveryLayoutBitForBit)
{
    using enum host::WavHeaderKind;
    struct Layout {
        bool isFloat;
        std::uint16_t channels;
        host::WavHeaderKind kind;
        std::uint32_t sampleRate, frames, block, milliseconds;
    };
    for (const Layout& c : {Layout{false, 1, Plain, 44100, 1000, 300, 22}, Layout{false, 6, Plain, 22050, 500, 64, 22},
                            Layout{false, 2, Extensible, 44100, 1000, 300, 22}, Layout{true, 2, Plain, 48000, 777, 256, 16},
                            Layout{true, 6, Extensible, 48000, 777, 256, 16}, Layout{true, 255, Plain, 8000, 50, 7, 6}}) {
        SCOPED_TRACE(testing::Message() << "float " << c.isFloat << ", " << c.channels << " channels");
        const std::vector<std::int16_t> pcm = Pattern16(std::size_t{c.frames} * c.channels);
        const std::vector<float> floats = PatternFloat(std::size_t{c.frames} * c.channels);
        Decoder decoder = Open(u"music/a.WAV", c.isFloat ? host::WriteWavFloat(floats, c.channels, c.sampleRate, c.kind)
                                                         : host::WriteWav16(pcm, c.channels, c.sampleRate, c.kind)).first;
        ASSERT_TRUE(decoder);
        HSSWaveFormat f{};
        ASSERT_EQ(decoder->GetFormat(&f), S_OK);
        // rate, channels, sample format, length in frames and in milliseconds (truncated)
        EXPECT_EQ(std::tuple(f.sampleRate, f.channelCount, f.sampleFormat, f.totalSamples, f.totalMilliseconds),
                  std::tuple(c.sampleRate, std::uint32_t{c.channels}, c.isFloat ? kSampleFormatFloat32 : kSampleFormatInt16,
                             std::uint64_t{c.frames}, c.milliseconds));
        EXPECT_EQ(f.seekCapability, kSeekCapabilitySampleExact);
        EXPECT_EQ(RenderAll(*decoder, c.channels * (c.isFloat ? 4u : 2u), c.block), c.isFloat ? Raw(floats) : Raw(pcm));
    }
}

TEST_F(WavModuleTest, EndsWithAShortOrEmptyBlockSeeksSampleExactlyAndKeepsItsStream)
{
    const std::vector<std::int16_t> samples = Pattern16(20); // 10 stereo frames
    Decoder decoder = Open(u"end.wav", host::WriteWav16(samples, 2, 8000)).first;
    ASSERT_TRUE(decoder);
    std::vector<std::int16_t> buffer(16);
    const auto render = [&](std::uint32_t frames) {
        std::uint32_t rendered = 99, status = 99;
        EXPECT_EQ(decoder->Render(buffer.data(), frames, &rendered, &status), S_OK);
        return std::pair(rendered, status);
    };
    EXPECT_EQ(render(4), std::pair(4u, 1u));
    EXPECT_EQ(render(0), std::pair(0u, 1u)) << "nothing asked, nothing missing";
    EXPECT_EQ(render(8), std::pair(6u, 0u)) << "a short block";
    EXPECT_EQ(std::vector(buffer.begin(), buffer.begin() + 12), std::vector(samples.begin() + 8, samples.end()));
    EXPECT_EQ(render(8), std::pair(0u, 0u));
    EXPECT_EQ(decoder->Render(buffer.data(), 8, nullptr, nullptr), S_OK);
    EXPECT_EQ(decoder->Render(nullptr, 8, nullptr, nullptr), E_INVALIDARG);
    // From frame 1, 9 frames in blocks of 3: an exact multiple ends with an empty block.
    for (std::uint64_t position : {0u, 1u, 7u, 9u, 10u}) {
        ASSERT_EQ(decoder->SetPosition(position), S_OK);
        EXPECT_EQ(RenderAll(*decoder, 4, 3), Raw(std::vector(samples.begin() + 2 * position, samples.end()))) << position;
    }
    ASSERT_EQ(decoder->SetPosition(5), S_OK);
    EXPECT_EQ(decoder->SetPosition(11), E_FAIL) << "past the end";
    EXPECT_EQ(decoder->SetPosition(std::numeric_limits<std::uint64_t>::max()), E_FAIL);
    EXPECT_EQ(render(1), std::pair(1u, 1u));
    EXPECT_EQ(buffer[0], samples[10]) << "a refused seek leaves the position as it was";

    // The module and the provider may go first: the decoder holds its stream.
    module.reset();
    provider.reset();
    ASSERT_EQ(decoder->SetPosition(0), S_OK);
    EXPECT_EQ(RenderAll(*decoder, 4, 3), Raw(samples));
}

TEST_F(WavModuleTest, StreamFaults)
{
    const std::vector<float> samples = PatternFloat(600);
    const Bytes file = host::WriteWavFloat(samples, 2, 48000);
    // The faults {failStat, failSeek, failReadsAt, maxBytesPerRead, failure} and the frames that play (0: none open).
    const std::tuple<const char*, host::StreamFaults, std::size_t> cases[] = {
        {"fed in pieces of 3 bytes", {false, false, {}, 3, E_FAIL}, 300},
        {"no Stat: the size comes from a seek to the end", {true, false, {}, 0, E_FAIL}, 300},
        {"reads break in frame 60: the stream ends there", {false, false, 44 + 8 * 60 + 1, 0, E_FAIL}, 60},
        {"unreadable", {false, false, 0, 0, E_FAIL}, 0},
        {"reads break in the header", {false, false, 30, 0, E_FAIL}, 0},
        {"cannot be measured", {true, true, {}, 0, E_FAIL}, 0},
    };
    for (const auto& [name, faults, frames] : cases) {
        SCOPED_TRACE(name);
        const auto [decoder, result] = Open(u"faulty.wav", file, faults);
        EXPECT_EQ(result, frames > 0 ? S_OK : E_FAIL);
        if (decoder) {
            EXPECT_EQ(RenderAll(*decoder, 8, 40), Raw(std::vector(samples.begin(), samples.begin() + 2 * frames)));
        }
    }
}

Bytes WithFmt(const Bytes& fmt)
{
    return rifftest::Riff({{"fmt ", fmt, {}, true}, {"data", Bytes(16, 0), {}, true}});
}

Bytes Cut(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

// Header variations the reader accepts, and malformed headers that fail for
// their own reason, through the reader and through the module.
TEST_F(WavModuleTest, HeaderVariationsAndMalformedHeaders)
{
    using rifftest::Fmt;
    using rifftest::FmtExtensible;
    using vywav::WavError;
    const Bytes fmt1 = rifftest::FmtPcm16(1, 8000);
    const std::vector<std::int16_t> nine = Pattern16(9);
    const Chunk fmt{"fmt ", fmt1, {}, true};
    const Chunk data{"data", rifftest::Samples16(nine), {}, true};
    std::vector<Chunk> manyChunks(vywav::kMaxChunks, Chunk{"junk", {}, {}, true});
    manyChunks.insert(manyChunks.end(), {fmt, data});
    // The bytes, the reader's verdict and, for an accepted file, its samples.
    const std::tuple<const char*, Bytes, WavError, std::vector<std::int16_t>> cases[] = {
        {"other chunks and pad bytes; a broken chunk after fmt and data is never read",
         rifftest::Riff({{"LIST", {'a', 'b', 'c'}, {}, true}, fmt, {"junk", Bytes(5, 0xEE), {}, true}, data,
                         {"LIST", Bytes(4, 0), 0x7FFFFFFF, true}}), WavError::None, nine},
        {"data before fmt and a wrong RIFF size", rifftest::Riff({data, fmt}, "WAVE", 0xFFFFFFFFu), WavError::None, nine},
        {"data longer than the file: clamped to whole frames",
         rifftest::Riff({fmt, {"data", Cut(rifftest::Samples16(Pattern16(10)), 19), 1000u, false}}), WavError::None, nine},
        {"an odd data chunk before fmt keeps its pad byte", rifftest::Riff({{"data", {0x34, 0x12, 0x77}, {}, true}, fmt}),
         WavError::None, {0x1234}},
        {"an empty data chunk", host::WriteWav16({}, 1, 8000), WavError::None, {}},
        {"empty file", {}, WavError::NotRiff, {}},
        {"eleven bytes", Cut(WithFmt(fmt1), 11), WavError::NotRiff, {}},
        {"RIFX", rifftest::Riff({fmt, data}, "WAVE", {}, "RIFX"), WavError::NotRiff, {}},
        {"form AVI", rifftest::Riff({fmt, data}, "AVI "), WavError::NotWave, {}},
        {"stray bytes after the header", Cut(WithFmt(fmt1), 12 + 5), WavError::NoFormatChunk, {}},
        {"no fmt chunk", rifftest::Riff({data}), WavError::NoFormatChunk, {}},
        {"no data chunk", rifftest::Riff({fmt}), WavError::NoDataChunk, {}},
        {"data before fmt, clamped, no fmt after it", rifftest::Riff({{"data", Bytes(8, 0), 100u, true}, fmt}),
         WavError::NoFormatChunk, {}},
        {"fmt too short", WithFmt(Cut(fmt1, 14)), WavError::FormatChunkTooShort, {}},
        {"fmt past the end", Cut(rifftest::Riff({fmt}), 12 + 20), WavError::ChunkPastEnd, {}},
        {"chunk before fmt past the end", rifftest::Riff({{"LIST", Bytes(4, 0), 0xFFFFFFF0u, true}, fmt, data}),
         WavError::ChunkPastEnd, {}},
        {"wrong LIST size", rifftest::Riff({fmt, {"LIST", Bytes(4, 0), 5u, true}, {"data", Bytes(8, 0), {}, true}}),
         WavError::NoDataChunk, {}},
        {"ADPCM", WithFmt(Fmt(2, 2, 8000, 4, 16)), WavError::UnsupportedFormatTag, {}},
        {"PCM 8-bit", WithFmt(Fmt(1, 2, 8000, 2, 8)), WavError::UnsupportedBitDepth, {}},
        {"PCM 24-bit", WithFmt(Fmt(1, 2, 8000, 6, 24)), WavError::UnsupportedBitDepth, {}},
        {"float 16-bit", WithFmt(Fmt(3, 2, 8000, 4, 16)), WavError::UnsupportedBitDepth, {}},
        {"float 64-bit", WithFmt(Fmt(3, 1, 8000, 8, 64)), WavError::UnsupportedBitDepth, {}},
        {"block align too small", WithFmt(Fmt(1, 2, 8000, 2, 16)), WavError::BlockAlignMismatch, {}},
        {"block align too large", WithFmt(Fmt(3, 1, 8000, 8, 32)), WavError::BlockAlignMismatch, {}},
        {"block align zero", WithFmt(Fmt(1, 1, 8000, 0, 16)), WavError::BlockAlignMismatch, {}},
        {"block align overflows", WithFmt(Fmt(3, 0x4000, 8000, 0, 32)), WavError::BlockAlignMismatch, {}},
        {"zero channels", WithFmt(Fmt(1, 0, 8000, 0, 16)), WavError::ZeroChannels, {}},
        {"zero sample rate", WithFmt(Fmt(1, 1, 0, 2, 16)), WavError::ZeroSampleRate, {}},
        {"extensible in 16 bytes", WithFmt(Fmt(0xFFFE, 2, 8000, 4, 16)), WavError::FormatChunkTooShort, {}},
        {"extensible with cbSize 0", WithFmt(FmtExtensible(1, 2, 8000, 4, 16, 0)), WavError::FormatChunkTooShort, {}},
        {"extensible, foreign GUID", WithFmt(FmtExtensible(1, 2, 8000, 4, 16, 22, false)), WavError::UnsupportedSubformat,
         {}},
        {"extensible ADPCM", WithFmt(FmtExtensible(2, 2, 8000, 4, 16)), WavError::UnsupportedFormatTag, {}},
        {"extensible PCM 24-bit", WithFmt(FmtExtensible(1, 2, 8000, 6, 24)), WavError::UnsupportedBitDepth, {}},
        {"too many chunks", rifftest::Riff(manyChunks), WavError::TooManyChunks, {}},
    };
    for (const auto& [name, bytes, expected, samples] : cases) {
        SCOPED_TRACE(name);
        const auto readAt = [&bytes](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
            const std::size_t n = offset >= bytes.size() ? 0 : std::min<std::size_t>(size, bytes.size() - offset);
            std::memcpy(buffer, bytes.data() + offset, n);
            return n;
        };
        vywav::WavLayout layout;
        const WavError error = vywav::ParseWavHeader(readAt, bytes.size(), layout);
        EXPECT_EQ(error, expected) << vywav::WavErrorText(error) << " instead of " << vywav::WavErrorText(expected);
        const auto [decoder, result] = Open(u"header.wav", bytes);
        EXPECT_EQ(result, expected == WavError::None ? S_OK : E_FAIL);
        if (decoder) {
            EXPECT_EQ(RenderAll(*decoder, 2, 4), Raw(samples));
            EXPECT_EQ(decoder->SetPosition(samples.size() + 1), E_FAIL) << "the clamped length is the end";
        }
    }
}

} // namespace
