// The WAV decoder module library (modules/wav), loaded from its own image
// and driven through its GetModuleInstance export as the plug-in drives a
// linked module; plus its header reader on bytes directly.
#include "RiffBuilder.h"

#include <modules/wav/WavHeader.h>

#include <host/MemoryStorageProvider.h>
#include <host/PluginLibrary.h>
#include <host/WavWriter.h>

#include <vymultitrack/GetModuleInstance.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using rifftest::Bytes;
using rifftest::Chunk;

struct ReleaseReference {
    void operator()(IUnknown* object) const
    {
        if (object)
            object->Release();
    }
};
using Decoder = std::unique_ptr<IHSSWaveDecoder, ReleaseReference>;

// Distinct 16-bit samples that reach both ends of the range.
std::vector<std::int16_t> Pattern16(std::uint32_t frames, std::uint32_t channels)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(i * 7919u + 32768u));
    samples[0] = std::numeric_limits<std::int16_t>::min();
    samples[samples.size() - 1] = std::numeric_limits<std::int16_t>::max();
    return samples;
}

// Distinct floats, with values a conversion would change: -0, a denormal,
// out-of-range magnitudes, infinity and a NaN with a payload.
std::vector<float> PatternFloat(std::uint32_t frames, std::uint32_t channels)
{
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(std::sin(static_cast<double>(i) * 0.37)) * 0.9f;
    const std::uint32_t nanBits = 0x7FC12345u;
    float nan = 0;
    std::memcpy(&nan, &nanBits, sizeof nan);
    const float specials[] = {-0.0f, std::numeric_limits<float>::denorm_min(), 3.5f, -1e30f,
                              std::numeric_limits<float>::infinity(), nan};
    for (std::size_t k = 0; k < std::size(specials) && k < samples.size(); ++k)
        samples[k * 3 % samples.size()] = specials[k];
    return samples;
}

template <typename T> bool SameBits(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

class WavModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Load(VY_WAV_MODULE_PATH)) << library.Error();
        entry = library.GetModuleInstance();
        ASSERT_NE(entry, nullptr);
        provider = host::MemoryStorageProvider::Create();
        ASSERT_EQ(entry(&module, provider, nullptr, nullptr), S_OK);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override
    {
        if (module)
            module->Release();
        if (provider)
            provider->Release();
    }

    // Opens `bytes` stored as `name`; the decoder or null, with the code in
    // `result`.
    Decoder Open(const std::u16string& name, Bytes bytes, host::StreamFaults faults = {},
                 HRESULT* result = nullptr)
    {
        provider->Add(name, std::move(bytes), faults);
        IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1); // must be overwritten
        const HRESULT code = module->OpenMediaInstance(name.c_str(), &decoder);
        if (result)
            *result = code;
        if (code != S_OK) {
            EXPECT_EQ(decoder, nullptr);
            return Decoder(nullptr);
        }
        EXPECT_NE(decoder, nullptr);
        return Decoder(decoder);
    }

    static HSSWaveFormat FormatOf(IHSSWaveDecoder& decoder)
    {
        HSSWaveFormat format{};
        EXPECT_EQ(decoder.GetFormat(&format), S_OK);
        return format;
    }

    // Renders to the end in blocks of `block` frames; the samples and the
    // status of the last call.
    template <typename T>
    static std::vector<T> RenderAll(IHSSWaveDecoder& decoder, std::uint32_t channels, std::uint32_t block,
                                    std::uint32_t* lastStatus = nullptr)
    {
        std::vector<T> out;
        std::vector<T> buffer(static_cast<std::size_t>(block) * channels);
        for (int guard = 0; guard < 1000000; ++guard) {
            std::uint32_t rendered = 99;
            std::uint32_t status = 99;
            EXPECT_EQ(decoder.Render(buffer.data(), block, &rendered, &status), S_OK);
            EXPECT_LE(rendered, block);
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(rendered) * channels);
            if (lastStatus)
                *lastStatus = status;
            EXPECT_EQ(status, rendered == block ? 1u : 0u);
            if (status == 0)
                break;
        }
        return out;
    }

    host::PluginLibrary library;
    GetModuleInstanceFunction entry = nullptr;
    host::MemoryStorageProvider* provider = nullptr;
    IHSSModule* module = nullptr;
};

// --- the module --------------------------------------------------------------

TEST_F(WavModuleTest, ReportsOneExtensionWithItsShortName)
{
    char16_t shortName[64];
    char16_t extension[256];
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, extension, 255), S_OK);
    EXPECT_EQ(std::u16string(shortName), u"RIFF wave");
    EXPECT_EQ(std::u16string(extension), u".wav");
    EXPECT_EQ(module->EnumSupportedExtension(1, shortName, extension, 255), S_FALSE);
    EXPECT_EQ(module->EnumSupportedExtension(0xFFFFFFFFu, shortName, extension, 255), S_FALSE);

    char16_t cut[4] = {u'#', u'#', u'#', u'#'};
    ASSERT_EQ(module->EnumSupportedExtension(0, nullptr, cut, 3), S_OK);
    EXPECT_EQ(std::u16string(cut), u".w");
    EXPECT_EQ(cut[3], u'#');
}

TEST_F(WavModuleTest, TextsFollowTheBufferLength)
{
    char16_t buffer[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(module->GetCopyrightText(buffer, 0), S_OK);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(module->GetCopyrightText(buffer, 1), S_OK);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(buffer[1], u'#');
    EXPECT_EQ(module->GetDescriptionText(buffer, 5), S_OK);
    EXPECT_EQ(std::u16string(buffer).size(), 4u);
    EXPECT_EQ(buffer[5], u'#');
    char16_t whole[128];
    EXPECT_EQ(module->GetCopyrightText(whole, 128), S_OK);
    EXPECT_NE(std::u16string(whole).find(u"VyMultiTrack"), std::u16string::npos);
    EXPECT_EQ(module->GetDescriptionText(nullptr, 4), E_INVALIDARG);
}

TEST_F(WavModuleTest, AnswersTheTwoSoundSystemIdsOnly)
{
    void* out = nullptr;
    ASSERT_EQ(module->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, module);
    module->Release();
    ASSERT_EQ(module->QueryInterface(IID_IHSSObject, &out), S_OK);
    EXPECT_EQ(out, module);
    module->Release();
    out = module;
    EXPECT_EQ(module->QueryInterface(IID_IHSSReserved, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(module->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    void* information = nullptr;
    EXPECT_EQ(module->GetMediaInformation(u"a.wav", &information), E_NOTIMPL);
    EXPECT_EQ(module->CheckMediaSupport(u"a.wav"), E_NOTIMPL);
}

TEST_F(WavModuleTest, TheModuleHoldsOneReferenceOnTheProvider)
{
    EXPECT_EQ(provider->AddRef(), 3u) << "the test's, the module's and this one";
    provider->Release();
    module->Release();
    module = nullptr;
    EXPECT_EQ(provider->AddRef(), 2u);
    provider->Release();
}

TEST_F(WavModuleTest, EntryPointArguments)
{
    EXPECT_EQ(entry(nullptr, provider, nullptr, nullptr), E_INVALIDARG);
    IHSSModule* withoutProvider = nullptr;
    ASSERT_EQ(entry(&withoutProvider, nullptr, nullptr, nullptr), S_OK);
    ASSERT_NE(withoutProvider, nullptr);
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1);
    EXPECT_EQ(withoutProvider->OpenMediaInstance(u"a.wav", &decoder), E_FAIL);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(withoutProvider->Release(), 0u);
}

TEST_F(WavModuleTest, OpeningPassesTheProvidersFailureOnAndChecksArguments)
{
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1);
    EXPECT_EQ(module->OpenMediaInstance(u"missing.wav", &decoder), STG_E_FILENOTFOUND);
    EXPECT_EQ(decoder, nullptr);
    decoder = reinterpret_cast<IHSSWaveDecoder*>(0x1);
    EXPECT_EQ(module->OpenMediaInstance(nullptr, &decoder), E_INVALIDARG);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(module->OpenMediaInstance(u"missing.wav", nullptr), E_INVALIDARG);
}

// --- decoding ----------------------------------------------------------------

struct Layout16 {
    std::uint16_t channels;
    host::WavHeaderKind kind;
};

class WavModule16Bit : public WavModuleTest, public ::testing::WithParamInterface<Layout16> {};

TEST_P(WavModule16Bit, DeliversTheStoredSamplesExactly)
{
    const auto [channels, kind] = GetParam();
    const std::uint32_t frames = 1000;
    const std::vector<std::int16_t> samples = Pattern16(frames, channels);
    Decoder decoder = Open(u"music/a.wav", host::WriteWav16(samples, channels, 44100, kind));
    ASSERT_TRUE(decoder);

    const HSSWaveFormat format = FormatOf(*decoder);
    EXPECT_EQ(format.sampleRate, 44100u);
    EXPECT_EQ(format.channelCount, channels);
    EXPECT_EQ(format.sampleFormat, kSampleFormatInt16);
    EXPECT_EQ(format.seekCapability, 2u);
    EXPECT_EQ(format.totalSamples, frames);
    EXPECT_EQ(format.totalMilliseconds, 22u) << "1000 / 44100 s, truncated";
    EXPECT_EQ(format.reserved[0] | format.reserved[1] | format.reserved[2], 0u);

    std::uint32_t lastStatus = 1;
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, channels, 300, &lastStatus), samples);
    EXPECT_EQ(lastStatus, 0u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WavModule16Bit,
                         ::testing::Values(Layout16{1, host::WavHeaderKind::Plain},
                                           Layout16{2, host::WavHeaderKind::Plain},
                                           Layout16{6, host::WavHeaderKind::Plain},
                                           Layout16{2, host::WavHeaderKind::Extensible},
                                           Layout16{6, host::WavHeaderKind::Extensible}));

class WavModuleFloat : public WavModuleTest, public ::testing::WithParamInterface<Layout16> {};

TEST_P(WavModuleFloat, DeliversTheStoredFloatsBitForBit)
{
    const auto [channels, kind] = GetParam();
    const std::uint32_t frames = 777;
    const std::vector<float> samples = PatternFloat(frames, channels);
    Decoder decoder = Open(u"b.WAV", host::WriteWavFloat(samples, channels, 48000, kind));
    ASSERT_TRUE(decoder);

    const HSSWaveFormat format = FormatOf(*decoder);
    EXPECT_EQ(format.sampleRate, 48000u);
    EXPECT_EQ(format.channelCount, channels);
    EXPECT_EQ(format.sampleFormat, kSampleFormatFloat32);
    EXPECT_EQ(format.seekCapability, 2u);
    EXPECT_EQ(format.totalSamples, frames);
    EXPECT_EQ(format.totalMilliseconds, 16u);

    EXPECT_TRUE(SameBits(RenderAll<float>(*decoder, channels, 256), samples));
}

INSTANTIATE_TEST_SUITE_P(Layouts, WavModuleFloat,
                         ::testing::Values(Layout16{1, host::WavHeaderKind::Plain},
                                           Layout16{2, host::WavHeaderKind::Plain},
                                           Layout16{6, host::WavHeaderKind::Plain},
                                           Layout16{1, host::WavHeaderKind::Extensible},
                                           Layout16{6, host::WavHeaderKind::Extensible}));

TEST_F(WavModuleTest, ManyChannels)
{
    const std::uint16_t channels = 255;
    const std::vector<float> samples = PatternFloat(50, channels);
    Decoder decoder = Open(u"wide.wav", host::WriteWavFloat(samples, channels, 8000));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(FormatOf(*decoder).channelCount, channels);
    EXPECT_TRUE(SameBits(RenderAll<float>(*decoder, channels, 7), samples));
}

TEST_F(WavModuleTest, EndStatusFollowsTheDecoderContract)
{
    const std::vector<std::int16_t> samples = Pattern16(10, 2);
    Decoder decoder = Open(u"end.wav", host::WriteWav16(samples, 2, 8000));
    ASSERT_TRUE(decoder);
    std::vector<std::int16_t> buffer(32, 0);
    std::uint32_t rendered = 99;
    std::uint32_t status = 99;

    ASSERT_EQ(decoder->Render(buffer.data(), 4, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 4u);
    EXPECT_EQ(status, 1u);
    ASSERT_EQ(decoder->Render(buffer.data(), 0, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 1u) << "nothing asked, nothing missing";
    ASSERT_EQ(decoder->Render(buffer.data(), 8, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 6u) << "a short block";
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(std::vector<std::int16_t>(buffer.begin(), buffer.begin() + 12),
              std::vector<std::int16_t>(samples.begin() + 8, samples.end()));
    for (int again = 0; again < 2; ++again) {
        ASSERT_EQ(decoder->Render(buffer.data(), 8, &rendered, &status), S_OK);
        EXPECT_EQ(rendered, 0u);
        EXPECT_EQ(status, 0u);
    }
    // The out-parameters may be null.
    EXPECT_EQ(decoder->Render(buffer.data(), 8, nullptr, nullptr), S_OK);
    EXPECT_EQ(decoder->Render(nullptr, 8, &rendered, &status), E_INVALIDARG);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);
}

TEST_F(WavModuleTest, AnExactMultipleEndsWithAnEmptyBlock)
{
    const std::vector<std::int16_t> samples = Pattern16(8, 1);
    Decoder decoder = Open(u"even.wav", host::WriteWav16(samples, 1, 8000));
    ASSERT_TRUE(decoder);
    std::int16_t buffer[4];
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
    for (int block = 0; block < 2; ++block) {
        ASSERT_EQ(decoder->Render(buffer, 4, &rendered, &status), S_OK);
        EXPECT_EQ(rendered, 4u);
        EXPECT_EQ(status, 1u);
    }
    ASSERT_EQ(decoder->Render(buffer, 4, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);
}

TEST_F(WavModuleTest, SeeksSampleExactly)
{
    const std::uint16_t channels = 6;
    const std::uint32_t frames = 500;
    const std::vector<std::int16_t> samples = Pattern16(frames, channels);
    Decoder decoder = Open(u"seek.wav", host::WriteWav16(samples, channels, 22050));
    ASSERT_TRUE(decoder);

    for (std::uint64_t position : {0u, 1u, 123u, 499u, 17u}) {
        ASSERT_EQ(decoder->SetPosition(position), S_OK) << position;
        const std::vector<std::int16_t> rest = RenderAll<std::int16_t>(*decoder, channels, 64);
        EXPECT_EQ(rest, std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(position * channels),
                                                  samples.end()))
            << position;
    }

    // The end itself is a position; past it is refused and changes nothing.
    ASSERT_EQ(decoder->SetPosition(frames), S_OK);
    std::vector<std::int16_t> buffer(64 * channels);
    std::uint32_t rendered = 99;
    std::uint32_t status = 99;
    ASSERT_EQ(decoder->Render(buffer.data(), 64, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);

    ASSERT_EQ(decoder->SetPosition(200), S_OK);
    EXPECT_EQ(decoder->SetPosition(frames + 1), E_FAIL);
    EXPECT_EQ(decoder->SetPosition(std::numeric_limits<std::uint64_t>::max()), E_FAIL);
    ASSERT_EQ(decoder->Render(buffer.data(), 1, &rendered, &status), S_OK);
    ASSERT_EQ(rendered, 1u);
    EXPECT_EQ(std::vector<std::int16_t>(buffer.begin(), buffer.begin() + channels),
              std::vector<std::int16_t>(samples.begin() + 200 * channels, samples.begin() + 201 * channels))
        << "the refused seek left the position at 200";
}

TEST_F(WavModuleTest, DecodersAreReferenceCountedAndKeepTheirStream)
{
    const std::vector<std::int16_t> samples = Pattern16(20, 2);
    Decoder decoder = Open(u"ref.wav", host::WriteWav16(samples, 2, 8000));
    ASSERT_TRUE(decoder);
    void* out = nullptr;
    ASSERT_EQ(decoder->QueryInterface(IID_IHSSObject, &out), S_OK);
    EXPECT_EQ(out, decoder.get());
    EXPECT_EQ(decoder->Release(), 1u);
    EXPECT_EQ(decoder->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(decoder->GetFormat(nullptr), E_INVALIDARG);

    // The module and the provider may go first: the decoder holds its stream.
    module->Release();
    module = nullptr;
    provider->Release();
    provider = nullptr;
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, 2, 3), samples);
}

TEST_F(WavModuleTest, ReadsThroughChoppyAndSeekOnlyStreams)
{
    const std::vector<float> samples = PatternFloat(300, 2);
    host::StreamFaults choppy;
    choppy.maxBytesPerRead = 3;
    Decoder a = Open(u"choppy.wav", host::WriteWavFloat(samples, 2, 48000), choppy);
    ASSERT_TRUE(a);
    EXPECT_TRUE(SameBits(RenderAll<float>(*a, 2, 100), samples));

    host::StreamFaults noStat;
    noStat.failStat = true;
    Decoder b = Open(u"nostat.wav", host::WriteWavFloat(samples, 2, 48000), noStat);
    ASSERT_TRUE(b) << "the size comes from a seek to the end";
    EXPECT_EQ(FormatOf(*b).totalSamples, 300u);
    EXPECT_TRUE(SameBits(RenderAll<float>(*b, 2, 100), samples));
}

TEST_F(WavModuleTest, AReadFailureInTheSamplesEndsTheStream)
{
    const std::vector<std::int16_t> samples = Pattern16(100, 1);
    host::StreamFaults faults;
    faults.failReadsAt = 44 + 2 * 60 + 1; // in the middle of frame 60
    Decoder decoder = Open(u"broken.wav", host::WriteWav16(samples, 1, 8000), faults);
    ASSERT_TRUE(decoder);
    std::uint32_t status = 1;
    const std::vector<std::int16_t> got = RenderAll<std::int16_t>(*decoder, 1, 40, &status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(got, std::vector<std::int16_t>(samples.begin(), samples.begin() + 60));
}

// --- accepted header variations ----------------------------------------------

TEST_F(WavModuleTest, SkipsOtherChunksAndHonoursPadBytes)
{
    const std::vector<std::int16_t> samples = Pattern16(9, 1); // 18 bytes
    const Bytes data = rifftest::Samples16(samples);
    const Bytes odd = {'a', 'b', 'c'}; // odd size, pad byte follows
    Decoder decoder = Open(u"chunks.wav", rifftest::Riff({{"LIST", odd, {}, true},
                                                          {"fmt ", rifftest::FmtPcm16(1, 8000), {}, true},
                                                          {"junk", Bytes(5, 0xEE), {}, true},
                                                          {"data", data, {}, true},
                                                          {"LIST", Bytes(4, 0), 0x7FFFFFFF, true}}));
    ASSERT_TRUE(decoder) << "a broken chunk after fmt and data is never read";
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, 1, 4), samples);
}

TEST_F(WavModuleTest, DataBeforeFmtAndAWrongRiffSizeAreAccepted)
{
    const std::vector<std::int16_t> samples = Pattern16(7, 2);
    Decoder decoder = Open(u"order.wav", rifftest::Riff({{"data", rifftest::Samples16(samples), {}, true},
                                                         {"fmt ", rifftest::FmtPcm16(2, 8000), {}, true}},
                                                        "WAVE", 0xFFFFFFFFu));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, 2, 5), samples);
}

TEST_F(WavModuleTest, ADataChunkLongerThanTheFileIsClampedToWholeFrames)
{
    const std::vector<std::int16_t> samples = Pattern16(10, 2);
    Bytes data = rifftest::Samples16(samples);
    data.push_back(0x11); // part of an eleventh frame
    data.push_back(0x22);
    data.push_back(0x33);
    Decoder decoder = Open(u"cut.wav", rifftest::Riff({{"fmt ", rifftest::FmtPcm16(2, 8000), {}, true},
                                                       {"data", data, 1000u, false}}));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(FormatOf(*decoder).totalSamples, 10u);
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, 2, 4), samples);
    EXPECT_EQ(decoder->SetPosition(11), E_FAIL);
}

TEST_F(WavModuleTest, AnEmptyDataChunkIsAnEmptyStream)
{
    Decoder decoder = Open(u"empty.wav", host::WriteWav16({}, 2, 8000));
    ASSERT_TRUE(decoder);
    const HSSWaveFormat format = FormatOf(*decoder);
    EXPECT_EQ(format.totalSamples, 0u);
    EXPECT_EQ(format.totalMilliseconds, 0u);
    std::int16_t buffer[8];
    std::uint32_t rendered = 99;
    std::uint32_t status = 99;
    ASSERT_EQ(decoder->Render(buffer, 4, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(decoder->SetPosition(0), S_OK);
    EXPECT_EQ(decoder->SetPosition(1), E_FAIL);
}

TEST_F(WavModuleTest, AnOddDataChunkBeforeFmtKeepsItsPadByte)
{
    // Three bytes of data (one mono frame and a stray byte), a pad byte, then fmt.
    const Bytes data = {0x34, 0x12, 0x77};
    Decoder decoder = Open(u"pad.wav", rifftest::Riff({{"data", data, {}, true},
                                                       {"fmt ", rifftest::FmtPcm16(1, 8000), {}, true}}));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(RenderAll<std::int16_t>(*decoder, 1, 4), std::vector<std::int16_t>{0x1234});
}

// --- malformed headers -------------------------------------------------------

struct MalformedCase {
    const char* name;
    Bytes bytes;
    vywav::WavError expected;
};

void PrintTo(const MalformedCase& c, std::ostream* out)
{
    *out << c.name;
}

Bytes Good16()
{
    return rifftest::Riff({{"fmt ", rifftest::FmtPcm16(2, 8000), {}, true},
                           {"data", rifftest::Samples16(Pattern16(4, 2)), {}, true}});
}

Bytes WithFmt(const Bytes& fmt)
{
    return rifftest::Riff({{"fmt ", fmt, {}, true}, {"data", Bytes(16, 0), {}, true}});
}

std::vector<MalformedCase> MalformedCases()
{
    using vywav::WavError;
    std::vector<MalformedCase> cases;
    cases.push_back({"empty file", {}, WavError::NotRiff});
    cases.push_back({"eleven bytes", [] {
                         Bytes b = Good16();
                         b.resize(11);
                         return b;
                     }(),
                     WavError::NotRiff});
    cases.push_back({"RIFX", rifftest::Riff({{"fmt ", rifftest::FmtPcm16(1), {}, true}}, "WAVE", {}, "RIFX"),
                     WavError::NotRiff});
    cases.push_back({"form AVI", rifftest::Riff({{"fmt ", rifftest::FmtPcm16(1), {}, true}}, "AVI "),
                     WavError::NotWave});
    cases.push_back({"header only", rifftest::Riff({}), WavError::NoFormatChunk});
    cases.push_back({"stray bytes after the header", [] {
                         Bytes b = rifftest::Riff({});
                         b.insert(b.end(), {'f', 'm', 't', ' ', 16});
                         return b;
                     }(),
                     WavError::NoFormatChunk});
    cases.push_back({"no fmt chunk", rifftest::Riff({{"data", Bytes(8, 0), {}, true}}), WavError::NoFormatChunk});
    cases.push_back({"no data chunk", rifftest::Riff({{"fmt ", rifftest::FmtPcm16(1), {}, true}}),
                     WavError::NoDataChunk});
    cases.push_back({"data before fmt, clamped, no fmt after it",
                     rifftest::Riff({{"data", Bytes(8, 0), 100u, true}, {"fmt ", rifftest::FmtPcm16(1), {}, true}}),
                     WavError::NoFormatChunk});
    cases.push_back({"fmt too short", [] {
                         Bytes fmt = rifftest::FmtPcm16(1);
                         fmt.resize(14);
                         return WithFmt(fmt);
                     }(),
                     WavError::FormatChunkTooShort});
    cases.push_back({"fmt past the end", [] {
                         Bytes b = rifftest::Riff({{"fmt ", rifftest::FmtPcm16(1), {}, true}});
                         b.resize(b.size() - 4);
                         return b;
                     }(),
                     WavError::ChunkPastEnd});
    cases.push_back({"chunk before fmt past the end",
                     rifftest::Riff({{"LIST", Bytes(4, 0), 0xFFFFFFF0u, true},
                                     {"fmt ", rifftest::FmtPcm16(1), {}, true},
                                     {"data", Bytes(8, 0), {}, true}}),
                     WavError::ChunkPastEnd});
    cases.push_back({"a wrong chunk size hides the data chunk",
                     rifftest::Riff({{"fmt ", rifftest::FmtPcm16(1), {}, true},
                                     {"LIST", Bytes(4, 0), 5u, true},
                                     {"data", Bytes(8, 0), {}, true}}),
                     WavError::NoDataChunk});
    cases.push_back({"ADPCM", WithFmt(rifftest::Fmt(2, 2, 8000, 4, 16)), WavError::UnsupportedFormatTag});
    cases.push_back({"MPEG layer 3", WithFmt(rifftest::Fmt(0x55, 2, 8000, 4, 16)), WavError::UnsupportedFormatTag});
    cases.push_back({"tag 0", WithFmt(rifftest::Fmt(0, 2, 8000, 4, 16)), WavError::UnsupportedFormatTag});
    cases.push_back({"PCM 8-bit", WithFmt(rifftest::Fmt(1, 2, 8000, 2, 8)), WavError::UnsupportedBitDepth});
    cases.push_back({"PCM 24-bit", WithFmt(rifftest::Fmt(1, 2, 8000, 6, 24)), WavError::UnsupportedBitDepth});
    cases.push_back({"PCM 32-bit", WithFmt(rifftest::Fmt(1, 2, 8000, 8, 32)), WavError::UnsupportedBitDepth});
    cases.push_back({"float 16-bit", WithFmt(rifftest::Fmt(3, 2, 8000, 4, 16)), WavError::UnsupportedBitDepth});
    cases.push_back({"float 64-bit", WithFmt(rifftest::Fmt(3, 1, 8000, 8, 64)), WavError::UnsupportedBitDepth});
    cases.push_back({"block align too small", WithFmt(rifftest::Fmt(1, 2, 8000, 2, 16)), WavError::BlockAlignMismatch});
    cases.push_back({"block align too large", WithFmt(rifftest::Fmt(3, 1, 8000, 8, 32)), WavError::BlockAlignMismatch});
    cases.push_back({"block align zero", WithFmt(rifftest::Fmt(1, 1, 8000, 0, 16)), WavError::BlockAlignMismatch});
    cases.push_back({"block align overflows", WithFmt(rifftest::Fmt(3, 0x4000, 8000, 0, 32)),
                     WavError::BlockAlignMismatch});
    cases.push_back({"zero channels", WithFmt(rifftest::Fmt(1, 0, 8000, 0, 16)), WavError::ZeroChannels});
    cases.push_back({"zero sample rate", WithFmt(rifftest::Fmt(1, 1, 0, 2, 16)), WavError::ZeroSampleRate});
    cases.push_back({"extensible in 16 bytes", WithFmt(rifftest::Fmt(0xFFFE, 2, 8000, 4, 16)),
                     WavError::FormatChunkTooShort});
    cases.push_back({"extensible with cbSize 0", WithFmt(rifftest::FmtExtensible(1, 2, 8000, 4, 16, 0)),
                     WavError::FormatChunkTooShort});
    cases.push_back({"extensible with a foreign GUID",
                     WithFmt(rifftest::FmtExtensible(1, 2, 8000, 4, 16, 22, false)), WavError::UnsupportedSubformat});
    cases.push_back({"extensible ADPCM", WithFmt(rifftest::FmtExtensible(2, 2, 8000, 4, 16)),
                     WavError::UnsupportedFormatTag});
    cases.push_back({"extensible PCM 24-bit", WithFmt(rifftest::FmtExtensible(1, 2, 8000, 6, 24)),
                     WavError::UnsupportedBitDepth});
    cases.push_back({"too many chunks", [] {
                         std::vector<Chunk> chunks(vywav::kMaxChunks, Chunk{"junk", {}, {}, true});
                         chunks.push_back({"fmt ", rifftest::FmtPcm16(1), {}, true});
                         chunks.push_back({"data", Bytes(2, 0), {}, true});
                         return rifftest::Riff(chunks);
                     }(),
                     WavError::TooManyChunks});
    return cases;
}

class WavModuleMalformed : public WavModuleTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(WavModuleMalformed, FailsCleanlyForTheRightReason)
{
    const MalformedCase& c = GetParam();
    vywav::WavLayout layout;
    const auto readAt = [&c](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
        if (offset >= c.bytes.size())
            return 0;
        const std::size_t n = std::min<std::size_t>(size, c.bytes.size() - static_cast<std::size_t>(offset));
        std::memcpy(buffer, c.bytes.data() + offset, n);
        return n;
    };
    const vywav::WavError error = vywav::ParseWavHeader(readAt, c.bytes.size(), layout);
    EXPECT_EQ(error, c.expected) << vywav::WavErrorText(error) << " instead of " << vywav::WavErrorText(c.expected);
    EXPECT_EQ(layout.channels, 0u);

    HRESULT result = S_OK;
    Decoder decoder = Open(u"bad.wav", c.bytes, {}, &result);
    EXPECT_EQ(result, E_FAIL);
    EXPECT_FALSE(decoder);
}

INSTANTIATE_TEST_SUITE_P(Headers, WavModuleMalformed, ::testing::ValuesIn(MalformedCases()),
                         [](const ::testing::TestParamInfo<MalformedCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(WavModuleTest, AStreamThatCannotBeReadOrMeasuredFails)
{
    host::StreamFaults unreadable;
    unreadable.failReadsAt = 0;
    HRESULT result = S_OK;
    EXPECT_FALSE(Open(u"unreadable.wav", Good16(), unreadable, &result));
    EXPECT_EQ(result, E_FAIL);

    host::StreamFaults readsStopInTheHeader;
    readsStopInTheHeader.failReadsAt = 30; // inside the fmt chunk
    EXPECT_FALSE(Open(u"shorthead.wav", Good16(), readsStopInTheHeader, &result));
    EXPECT_EQ(result, E_FAIL);

    host::StreamFaults unmeasurable;
    unmeasurable.failStat = true;
    unmeasurable.failSeek = true;
    EXPECT_FALSE(Open(u"unmeasurable.wav", Good16(), unmeasurable, &result));
    EXPECT_EQ(result, E_FAIL);

    EXPECT_TRUE(Open(u"good.wav", Good16()));
}

TEST(WavHeader, ReportsTheLayout)
{
    const std::vector<std::int16_t> samples = Pattern16(5, 3);
    const Bytes bytes = host::WriteWav16(samples, 3, 32000, host::WavHeaderKind::Extensible);
    const auto readAt = [&bytes](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
        const std::size_t n = offset >= bytes.size() ? 0 : std::min<std::size_t>(size, bytes.size() - offset);
        std::memcpy(buffer, bytes.data() + offset, n);
        return n;
    };
    vywav::WavLayout layout;
    ASSERT_EQ(vywav::ParseWavHeader(readAt, bytes.size(), layout), vywav::WavError::None);
    EXPECT_EQ(layout.formatTag, vywav::kFormatTagPcm);
    EXPECT_EQ(layout.channels, 3u);
    EXPECT_EQ(layout.sampleRate, 32000u);
    EXPECT_EQ(layout.bitsPerSample, 16u);
    EXPECT_EQ(layout.blockAlign, 6u);
    EXPECT_EQ(layout.dataOffset, host::WavOffsetsFor(host::WavHeaderKind::Extensible).samples);
    EXPECT_EQ(layout.frames, 5u);
    EXPECT_FALSE(layout.dataClamped);
}

TEST(WavWriter, RejectsWhatAWaveFileCannotHold)
{
    EXPECT_THROW((void)host::WriteWav16({1, 2, 3}, 0, 8000), std::invalid_argument);
    EXPECT_THROW((void)host::WriteWav16({1, 2, 3}, 2, 8000), std::invalid_argument);
    EXPECT_THROW((void)host::WriteWavFloat(std::vector<float>(3), 0x4000, 8000), std::invalid_argument);
    const Bytes plain = host::WriteWavFloat({0.5f, -0.5f}, 2, 8000);
    ASSERT_EQ(plain.size(), 44u + 8u);
    EXPECT_EQ(std::string(plain.begin() + 36, plain.begin() + 40), "data");
    EXPECT_EQ(plain[20], 3) << "format tag 3";
}

} // namespace
