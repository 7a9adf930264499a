// The WAV decoder module library (modules/wav), loaded from its own image
// and driven through its GetModuleInstance export as the plug-in drives a
// linked module; plus its header reader on bytes directly.
#include "host/HostTestSupport.h"

#include <modules/wav/WavHeader.h>

#include <host/MemoryStorageProvider.h>
#include <host/PluginLibrary.h>
#include <host/WavWriter.h>

#include <vymultitrack/GetModuleInstance.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Decoder = hosttest::Owned<IHSSWaveDecoder>;

// `count` distinct samples: 16-bit ones spread over the whole range; floats
// (at least 6) first those a conversion would change: -0, a denormal,
// out-of-range magnitudes, infinity, a NaN with a payload.
template <typename T> std::vector<T> Pattern(std::size_t count)
{
    std::vector<T> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = std::is_same_v<T, float> ? static_cast<T>(std::sin(static_cast<double>(i) * 0.37) * 0.9) : static_cast<T>(i * 7919u + 32768u);
    if constexpr (std::is_same_v<T, float>)
        std::ranges::copy(std::initializer_list<float>{-0.0f, std::numeric_limits<float>::denorm_min(), 3.5f, -1e30f,
                                                       std::numeric_limits<float>::infinity(), std::bit_cast<float>(0x7FC12345u)},
                          samples.begin());
    return samples;
}

// The bytes of `samples` as they lie in memory, as a decoder delivers them.
template <typename T> Bytes Raw(const std::vector<T>& samples)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
    return Bytes(bytes, bytes + samples.size() * sizeof(T));
}

// A chunk: its id, its payload and the size its header declares (the
// payload's when not given).
using Chunk = std::tuple<std::string, Bytes, std::optional<std::uint32_t>>;

// `magic`, a RIFF size of 0 (which readers ignore: streaming writers leave
// it so), `form` and the chunks in order, odd payloads padded.
Bytes Riff(const std::vector<Chunk>& chunks, const std::string& form = "WAVE", const std::string& magic = "RIFF")
{
    const std::string head = magic + std::string(4, '\0') + form;
    Bytes out(head.begin(), head.end());
    for (const auto& [id, payload, declaredSize] : chunks)
        for (const Bytes& part : {Bytes(id.begin(), id.end()), Raw(std::vector{declaredSize.value_or(static_cast<std::uint32_t>(payload.size()))}),
                                  payload, Bytes(payload.size() % 2)})
            out.insert(out.end(), part.begin(), part.end());
    return out;
}

// `bytes` with the little-endian 16-bit values at the given offsets.
Bytes Patch(Bytes bytes, std::initializer_list<std::pair<std::size_t, std::uint16_t>> fields)
{
    for (const auto& [at, value] : fields)
        bytes.at(at) = static_cast<std::uint8_t>(value), bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
    return bytes;
}

class WavModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Load(VY_WAV_MODULE_PATH)) << library.Error();
        IHSSModule* made = nullptr;
        ASSERT_EQ(library.GetModuleInstance()(&made, provider.get(), nullptr, nullptr), S_OK);
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
    hosttest::Owned<host::MemoryStorageProvider> provider{host::MemoryStorageProvider::Create()};
    hosttest::Owned<IHSSModule> module;
};

// Every layout plays bit for bit, as far as the stream can be read.
TEST_F(WavModuleTest, DeliversEveryLayoutBitForBitAsFarAsTheStreamReads)
{
    using enum host::WavHeaderKind;
    // Name, float, channels, header, rate, frames, block, stream faults
    // {failStat, failSeek, failReadsAt, maxBytesPerRead, failure}, frames played (0: it does not open).
    const std::tuple<const char*, bool, std::uint16_t, host::WavHeaderKind, std::uint32_t, std::uint32_t, std::uint32_t,
                     host::StreamFaults, std::uint32_t> rows[] = {
        {"PCM mono", false, 1, Plain, 44100, 1000, 300, {}, 1000},
        {"PCM extensible, 6 channels", false, 6, Extensible, 22050, 500, 64, {}, 500},
        {"float extensible, 6 channels", true, 6, Extensible, 48000, 777, 256, {}, 777},
        {"float, 255 channels", true, 255, Plain, 8000, 50, 7, {}, 50},
        {"fed in pieces of 3 bytes", true, 2, Plain, 48000, 300, 40, {false, false, {}, 3, E_FAIL}, 300},
        {"no Stat: the size comes from a seek to the end", true, 2, Plain, 48000, 300, 40, {true, false, {}, 0, E_FAIL}, 300},
        {"reads break in frame 60: it ends there", true, 2, Plain, 48000, 300, 40, {false, false, 44 + 8 * 60 + 1, 0, E_FAIL}, 60},
        {"reads stop short in frame 60 without failing", true, 2, Plain, 48000, 300, 40, {false, false, 44 + 8 * 60 + 1, 0, S_FALSE}, 60},
        {"unreadable", true, 2, Plain, 48000, 300, 40, {false, false, 0, 0, E_FAIL}, 0},
        {"reads break in the header", true, 2, Plain, 48000, 300, 40, {false, false, 30, 0, E_FAIL}, 0},
        {"cannot be measured", true, 2, Plain, 48000, 300, 40, {true, true, {}, 0, E_FAIL}, 0},
    };
    for (const auto& [name, isFloat, channels, kind, rate, frames, block, faults, played] : rows) {
        SCOPED_TRACE(name);
        const Bytes all = isFloat ? Raw(Pattern<float>(frames * channels)) : Raw(Pattern<std::int16_t>(frames * channels));
        const auto [decoder, result] = Open(u"music/a.WAV", isFloat ? host::WriteWavFloat(Pattern<float>(frames * channels), channels, rate, kind)
                                            : host::WriteWav16(Pattern<std::int16_t>(frames * channels), channels, rate, kind), faults);
        EXPECT_EQ(result, played > 0 ? S_OK : E_FAIL);
        if (!decoder)
            continue;
        HSSWaveFormat f{};
        ASSERT_EQ(decoder->GetFormat(&f), S_OK);
        // rate, channels, sample format, length in frames and in milliseconds (truncated)
        EXPECT_EQ(std::tuple(f.sampleRate, f.channelCount, f.sampleFormat, f.totalSamples, f.totalMilliseconds, f.seekCapability),
                  std::tuple(rate, std::uint32_t{channels}, isFloat ? kSampleFormatFloat32 : kSampleFormatInt16,
                             std::uint64_t{frames}, frames * 1000 / rate, kSeekCapabilitySampleExact));
        EXPECT_EQ(RenderAll(*decoder, all.size() / frames, block), Bytes(all.begin(), all.begin() + all.size() / frames * played));
    }
}

TEST_F(WavModuleTest, ChecksItsArgumentsSeeksSampleExactlyAndOutlivesTheModuleAndTheProvider)
{
    char16_t shortName[64], text[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, text, 3), S_OK);
    EXPECT_EQ(std::u16string(text, 4), std::u16string(u".w\0#", 4)) << "the extension cut to the buffer's length";
    EXPECT_EQ(std::pair(module->GetCopyrightText(text, 0), text[0]), std::pair(S_OK, u'.')) << "a length of 0 writes nothing";
    EXPECT_EQ(module->GetDescriptionText(nullptr, 4), E_INVALIDARG);
    IHSSWaveDecoder* none = reinterpret_cast<IHSSWaveDecoder*>(0x1);
    EXPECT_EQ(std::pair(module->OpenMediaInstance(u"nowhere.wav", &none), none), std::pair(STG_E_FILENOTFOUND, Decoder().get()))
        << "the provider's code, and no decoder";
    EXPECT_EQ(module->OpenMediaInstance(nullptr, &none), E_INVALIDARG);
    const std::vector<std::int16_t> samples = Pattern<std::int16_t>(20); // 10 stereo frames
    const Decoder decoder = Open(u"end.wav", host::WriteWav16(samples, 2, 8000)).first;
    ASSERT_TRUE(decoder);
    std::uint32_t rendered = 99, status = 99;
    EXPECT_EQ(decoder->Render(nullptr, 0, &rendered, &status), S_OK);
    EXPECT_EQ(std::pair(rendered, status), std::pair(0u, 1u)) << "nothing asked, nothing missing";
    EXPECT_EQ(decoder->Render(std::vector<std::int16_t>(16).data(), 8, nullptr, nullptr), S_OK);
    EXPECT_EQ(decoder->Render(nullptr, 8, nullptr, nullptr), E_INVALIDARG);
    // In blocks of 3: from 7 and 10 an exact multiple ends with an empty block.
    for (std::uint64_t position : {0u, 1u, 7u, 9u, 10u}) {
        ASSERT_EQ(decoder->SetPosition(position), S_OK);
        EXPECT_EQ(RenderAll(*decoder, 4, 3), Raw(std::vector(samples.begin() + 2 * position, samples.end()))) << position;
    }
    ASSERT_EQ(decoder->SetPosition(5), S_OK);
    EXPECT_EQ(decoder->SetPosition(11), E_FAIL) << "past the end";
    EXPECT_EQ(RenderAll(*decoder, 4, 3), Raw(std::vector(samples.begin() + 10, samples.end()))) << "a refused seek moves nothing";
    // The module and the provider may go first: the decoder holds its stream, and the module the provider.
    EXPECT_EQ(provider->AddRef(), 3u) << "the test's, the module's and this one";
    module.reset();
    EXPECT_EQ(provider->Release(), 1u);
    provider.reset();
    ASSERT_EQ(decoder->SetPosition(0), S_OK);
    EXPECT_EQ(RenderAll(*decoder, 4, 3), Raw(samples));
}

// Header variations the reader accepts, and malformed headers that fail for
// their own reason, through the reader and through the module.
TEST_F(WavModuleTest, HeaderVariationsAndMalformedHeaders)
{
    using enum vywav::WavError;
    const auto cut = [](Bytes bytes, std::size_t size) { return bytes.resize(size), bytes; };
    const std::vector<std::int16_t> nine = Pattern<std::int16_t>(9);
    // Mono 16-bit PCM at 8000 Hz; the fields of its fmt payload (at 20): tag
    // at 20, channels 22, rate 24, block align 32, bits 34; the extensible
    // one's cbSize at 36 and subformat GUID at 44..59.
    const Bytes plain = host::WriteWav16(nine, 1, 8000), ext = host::WriteWav16(nine, 1, 8000, host::WavHeaderKind::Extensible);
    const Chunk fmt{"fmt ", Bytes(plain.begin() + 20, plain.begin() + 36), {}}, data{"data", Raw(nine), {}};
    // The bytes, the reader's verdict and, for an accepted file, its samples.
    const std::tuple<const char*, Bytes, vywav::WavError, std::vector<std::int16_t>> cases[] = {
        {"other chunks and pad bytes; a broken chunk after fmt and data is never read",
         Riff({{"LIST", {'a', 'b', 'c'}, {}}, fmt, {"junk", Bytes(5, 0xEE), {}}, data, {"LIST", Bytes(4, 0), 0x7FFFFFFF}}), None, nine},
        {"data before fmt", Riff({data, fmt}), None, nine},
        {"data longer than the file: clamped to whole frames", cut(Riff({fmt, {"data", Raw(Pattern<std::int16_t>(10)), 1000u}}), 12 + 24 + 8 + 19),
         None, nine},
        {"an odd data chunk before fmt keeps its pad byte", Riff({{"data", {0x34, 0x12, 0x77}, {}}, fmt}), None, {0x1234}},
        {"an empty data chunk", host::WriteWav16({}, 1, 8000), None, {}},
        {"eleven bytes", cut(plain, 11), NotRiff, {}},
        {"RIFX", Riff({fmt, data}, "WAVE", "RIFX"), NotRiff, {}},
        {"form AVI", Riff({fmt, data}, "AVI "), NotWave, {}},
        {"stray bytes after the header", cut(plain, 12 + 5), NoFormatChunk, {}},
        {"no fmt chunk", Riff({data}), NoFormatChunk, {}},
        {"no data chunk", Riff({fmt}), NoDataChunk, {}},
        {"data before fmt, clamped, no fmt after it", Riff({{"data", Bytes(8, 0), 100u}, fmt}), NoFormatChunk, {}},
        {"fmt too short", Riff({{"fmt ", Bytes(plain.begin() + 20, plain.begin() + 34), {}}, data}), FormatChunkTooShort, {}},
        {"fmt past the end", cut(Riff({fmt}), 12 + 20), ChunkPastEnd, {}},
        {"chunk before fmt past the end", Riff({{"LIST", Bytes(4, 0), 0xFFFFFFF0u}, fmt, data}), ChunkPastEnd, {}},
        {"wrong LIST size", Riff({fmt, {"LIST", Bytes(4, 0), 5u}, {"data", Bytes(8, 0), {}}}), NoDataChunk, {}},
        {"ADPCM", Patch(plain, {{20, 2}}), UnsupportedFormatTag, {}},
        {"PCM 8-bit", Patch(plain, {{34, 8}}), UnsupportedBitDepth, {}},
        {"float 16-bit", Patch(plain, {{20, 3}}), UnsupportedBitDepth, {}},
        {"block align too small", Patch(plain, {{32, 1}}), BlockAlignMismatch, {}},
        {"block align overflows", Patch(plain, {{20, 3}, {22, 0x4000}, {32, 0}, {34, 32}}), BlockAlignMismatch, {}},
        {"zero channels", Patch(plain, {{22, 0}}), ZeroChannels, {}},
        {"zero sample rate", Patch(plain, {{24, 0}}), ZeroSampleRate, {}},
        {"extensible in 16 bytes", Patch(plain, {{20, 0xFFFE}}), FormatChunkTooShort, {}},
        {"extensible with cbSize 0", Patch(ext, {{36, 0}}), FormatChunkTooShort, {}},
        {"extensible, foreign GUID", Patch(ext, {{58, 0}}), UnsupportedSubformat, {}},
        {"extensible ADPCM", Patch(ext, {{44, 2}}), UnsupportedFormatTag, {}},
        {"extensible PCM 24-bit", Patch(ext, {{34, 24}}), UnsupportedBitDepth, {}},
        {"too many chunks", [&] { std::vector<Chunk> many(vywav::kMaxChunks, Chunk{"junk", {}, {}}); return many.push_back(fmt), Riff(many); }(),
         TooManyChunks, {}},
    };
    for (const auto& [name, bytes, expected, samples] : cases) {
        SCOPED_TRACE(name);
        const auto readAt = [&bytes](std::uint64_t offset, void* buffer, std::size_t size) {
            const std::size_t n = offset >= bytes.size() ? 0 : std::min<std::size_t>(size, bytes.size() - offset);
            return std::memcpy(buffer, bytes.data() + offset, n), n;
        };
        vywav::WavLayout layout;
        const vywav::WavError error = vywav::ParseWavHeader(readAt, bytes.size(), layout);
        EXPECT_EQ(error, expected) << vywav::WavErrorText(error) << " instead of " << vywav::WavErrorText(expected);
        const auto [decoder, result] = Open(u"header.wav", bytes);
        EXPECT_EQ(result, expected == None ? S_OK : E_FAIL);
        EXPECT_EQ(decoder ? RenderAll(*decoder, 2, 4) : Bytes(), Raw(samples));
    }
}

} // namespace
