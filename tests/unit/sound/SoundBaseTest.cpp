// The sound bases: the module's information slots, opening a decoder on
// the provider's stream, what the decoders over a stream or without one
// answer the host, and the stream adapter the decoding libraries read
// through.
#include <host/MemoryStream.h>
#include <sound/BasicHSSDecoder.h>
#include <sound/BasicHSSModule.h>
#include <sound/DurationField.h>
#include <sound/NoStreamHSSDecoder.h>
#include <sound/StreamAdapter.h>

#include <vymultitrack/HSSStorageProvider.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Serves `stream` (when there is one) for every name with the code `answer`.
class OneStreamProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG VY_STDCALL AddRef() override { return 2; }
    ULONG VY_STDCALL Release() override { return 1; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        *out = SUCCEEDED(answer) ? stream : nullptr;
        if (*out)
            stream->AddRef();
        return answer;
    }
    IStream* stream = nullptr;
    HRESULT answer = S_OK;
};

// `length` mono frames whose sample k is k; opens only when `opens` says
// so, and throws while opening when `throws` says so (as a host's gain-query
// callback may).
class CountingDecoder : public BasicHSSDecoder {
public:
    static inline bool opens = true;
    static inline bool throws = false;
    static inline int live = 0;
    static constexpr std::uint32_t length = 1000;
    CountingDecoder() { ++live; }
    bool OpenStream(IStream*, const char16_t*, HSSWaveFormat& f) override
    {
        if (throws)
            throw std::runtime_error("the gain query threw");
        f = HSSWaveFormat{48000, 1, kSampleFormatFloat32, 2, length, 20, {}};
        return opens;
    }
    bool DecodeSamples(IStream*, void* buffer, std::uint32_t frames, std::uint32_t& rendered) override
    {
        for (rendered = 0; rendered < frames && next < length; ++rendered)
            static_cast<float*>(buffer)[rendered] = static_cast<float>(next++);
        return rendered != 0;
    }
    bool SeekSamples(IStream*, std::uint64_t position) override
    {
        next = position <= length ? static_cast<std::uint32_t>(position) : next;
        return position <= length;
    }
    std::uint32_t next = 0;

protected:
    ~CountingDecoder() override { --live; }
};

using Module = BasicHSSModule<CountingDecoder>;

ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// Texts are cut to the buffer length, terminator included; the short name
// is copied whole.
TEST(ModuleBase, InformationSlotsCopyTheirTextsIntoTheBufferLength)
{
    static constexpr ModuleExtensionEntry kEntries[] = {{u"Short", u".ext"}};
    static constexpr ModuleInformation kInfo = {u"Copyright text", u"Description", 1, kEntries};
    Module module(nullptr, &kInfo);
    for (const auto& [length, expected] : {std::pair(0u, u"####"), std::pair(1u, u"\0###"), std::pair(3u, u"Co\0#")}) {
        std::u16string buffer(4, u'#');
        EXPECT_EQ(module.GetCopyrightText(buffer.data(), length), S_OK);
        EXPECT_EQ(buffer, std::u16string(expected, 4)) << length;
    }
    char16_t text[32] = {};
    char16_t extension[4] = {u'#', u'#', u'#', u'#'};
    ASSERT_EQ(module.EnumSupportedExtension(0, text, extension, 3), S_OK);
    EXPECT_EQ(std::u16string(text) + u"|" + std::u16string(extension, 4), std::u16string(u"Short|.e\0#", 10));
    EXPECT_EQ(module.EnumSupportedExtension(1, text, extension, 4), S_FALSE);
    EXPECT_EQ(module.EnumSupportedExtension(0xFFFFFFFFu, text, extension, 4), S_FALSE);
    Module bare(nullptr, nullptr);
    EXPECT_EQ(bare.GetDescriptionText(text, 8), E_NOTIMPL) << "without an information record";
}

// A failed open leaves no decoder, keeps no stream and answers E_FAIL, or
// the provider's own failure.
TEST(BasicHSSModule, FailedOpensLeaveNothingBehind)
{
    IStream* stream = host::MemoryStream::Create({1, 2, 3});
    OneStreamProvider provider;
    // Provider, stream served, its answer, whether the decoder opens; the answer.
    const std::tuple<HSSStorageProvider*, IStream*, HRESULT, bool, HRESULT> rows[] = {
        {nullptr, stream, S_OK, true, E_FAIL}, {&provider, stream, S_OK, false, E_FAIL},
        {&provider, stream, STG_E_FILENOTFOUND, true, STG_E_FILENOTFOUND}, {&provider, nullptr, S_OK, true, E_FAIL}};
    for (const auto& [source, served, answer, opens, expected] : rows) {
        Module module(source, nullptr);
        std::tie(provider.stream, provider.answer, CountingDecoder::opens) = std::tuple(served, answer, opens);
        IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(&provider);
        EXPECT_EQ(module.OpenMediaInstance(u"x", &decoder), expected);
        EXPECT_EQ(std::tuple(decoder, CountingDecoder::live, References(stream)), std::tuple(nullptr, 0, 1u));
    }
    // An exception while the decoder opens fails the open the same way.
    std::tie(provider.stream, provider.answer, CountingDecoder::opens, CountingDecoder::throws) =
        std::tuple(stream, S_OK, true, true);
    IHSSWaveDecoder* decoder = nullptr;
    EXPECT_EQ(Module(&provider, nullptr).OpenMediaInstance(u"x", &decoder), E_FAIL);
    EXPECT_EQ(std::tuple(decoder, CountingDecoder::live, References(stream)), std::tuple(nullptr, 0, 1u));
    CountingDecoder::throws = false;
    EXPECT_EQ(Module(&provider, nullptr).OpenMediaInstance(u"x", nullptr), E_INVALIDARG);
    CountingDecoder::opens = true;
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(BasicHSSDecoder, RendersSeeksAndAnswersOnTheStreamItHolds)
{
    IStream* stream = host::MemoryStream::Create({1, 2, 3});
    OneStreamProvider provider;
    provider.stream = stream;
    Module module(&provider, nullptr);
    IHSSWaveDecoder* decoder = nullptr;
    ASSERT_EQ(module.OpenMediaInstance(u"x", &decoder), S_OK);
    EXPECT_EQ(References(stream), 2u) << "the decoder holds one reference";
    // Frames rendered, status (1: as many as asked) and the last sample, for 600 asked.
    for (const auto& row : {std::tuple(600u, 1u, 599.0f), std::tuple(400u, 0u, 999.0f), std::tuple(0u, 0u, -1.0f)}) {
        std::vector<float> buffer(600, -1.0f);
        std::uint32_t rendered = 77, status = 77;
        EXPECT_EQ(decoder->Render(buffer.data(), 600, &rendered, &status), S_OK);
        EXPECT_EQ(std::tuple(rendered, status, buffer[std::max(rendered, 1u) - 1]), row);
    }
    float sample = -1.0f;
    EXPECT_EQ(decoder->SetPosition(250), S_OK);
    EXPECT_EQ(decoder->Render(&sample, 1, nullptr, nullptr), S_OK) << "null out-parameters are allowed";
    EXPECT_EQ(sample, 250.0f);
    EXPECT_EQ(decoder->SetPosition(5000), E_FAIL) << "a refused seek";
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.totalSamples, CountingDecoder::length);
    // Like the modules, it answers IUnknown and IHSSObject with a new reference, nothing else.
    void* out = &provider;
    EXPECT_EQ(decoder->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(decoder->QueryInterface(IID_IHSSObject, &out), S_OK);
    EXPECT_EQ(out, decoder);
    EXPECT_EQ(decoder->Release(), 1u);
    EXPECT_EQ(decoder->Release(), 0u);
    EXPECT_EQ(stream->Release(), 0u) << "the decoder let its reference go";
}

// Renders half the frames asked.
class HalfDecoder : public NoStreamHSSDecoder {
public:
    bool Open(const char16_t*, HSSWaveFormat&) override { return true; }
    bool DecodeSamples(void*, std::uint32_t frames, std::uint32_t& rendered) override { return (rendered = frames / 2), true; }
    bool SeekSamples(std::uint64_t) override { return true; }
    void CloseSources() override {}
};

// GetFormat also needs a rate, a channel count and a sample format.
TEST(NoStreamHSSDecoder, AnswersOnceOpenedAndGivesOnlyACompleteFormat)
{
    const HSSWaveFormat complete{44100, 2, kSampleFormatFloat32, 2, 10, 0, {}};
    auto* decoder = new HalfDecoder;
    decoder->Format() = complete;
    HSSWaveFormat out{};
    std::uint32_t rendered = 9;
    for (const bool opened : {false, true}) {
        decoder->SetOpened(opened);
        EXPECT_EQ(std::vector<HRESULT>({decoder->GetFormat(&out), decoder->Render(nullptr, 4, &rendered, nullptr),
                                        decoder->SetPosition(0)}),
                  std::vector<HRESULT>(3, opened ? S_OK : E_FAIL));
    }
    EXPECT_EQ(rendered, 2u);
    for (std::uint32_t HSSWaveFormat::*field :
         {&HSSWaveFormat::sampleRate, &HSSWaveFormat::channelCount, &HSSWaveFormat::sampleFormat}) {
        decoder->Format() = complete;
        decoder->Format().*field = 0;
        EXPECT_EQ(decoder->GetFormat(&out), E_FAIL);
    }
    decoder->Release();
}

TEST(StreamAdapter, ReadsWholeItemsSeeksFromEachOriginAndTells)
{
    IStream* stream = host::MemoryStream::Create({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    unsigned char buffer[8] = {};
    EXPECT_EQ(StreamAdapter::ReadBytes(stream, buffer, 3), 3);
    EXPECT_EQ(buffer[2], 2);
    // Seven bytes remain: three whole items of two, the partial one is not counted.
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 2, 4, stream), 3u);
    EXPECT_EQ(buffer[6], 9);
    EXPECT_EQ(StreamAdapter::ReadBytes(stream, buffer, 8), 0) << "end of data";
    // Asking for nothing, or for more than one read can take, reads nothing.
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 0, 5, stream), 0u);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, std::uint64_t{1} << 32, stream), 0u);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 2, SIZE_MAX, stream), 0u);

    // Whence, offset, and the position after (-1: refused, the position stays).
    const std::tuple<int, std::int64_t, std::int64_t> seeks[] = {
        {0, 4, 4}, {1, 2, 6}, {2, -3, 7}, {3, 0, -1}, {-1, 0, -1}, {1, -20, -1}};
    std::int64_t at = 0;
    for (const auto& [whence, offset, position] : seeks) {
        EXPECT_EQ(StreamAdapter::Seek(stream, offset, whence), position < 0 ? -1 : 0) << whence;
        at = position < 0 ? at : position;
        EXPECT_EQ(StreamAdapter::Tell(stream), at);
    }
    EXPECT_EQ(StreamAdapter::TellLong(stream), 7);
    // Past what a 32-bit long holds (Windows), the position is refused
    // rather than cut to its low bits.
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    ASSERT_EQ(StreamAdapter::Seek(stream, kFar, 0), 0);
    EXPECT_EQ(StreamAdapter::TellLong(stream), sizeof(long) >= 8 ? static_cast<long>(kFar) : -1L);
    EXPECT_EQ(StreamAdapter::CloseNothing(stream), 0);
    stream->Release();

    // A stream that delivers three bytes a Read still fills the item form's request.
    host::StreamFaults chunked;
    chunked.maxBytesPerRead = 3;
    stream = host::MemoryStream::Create({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, chunked);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, 8, stream), 8u);
    EXPECT_EQ(buffer[7], 7);
    EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, 8, stream), 2u) << "short at the end only";
    stream->Release();
}

TEST(StreamAdapter, FailuresAndMissingStreamsReadNothing)
{
    host::StreamFaults faults;
    faults.failSeek = true;
    faults.failReadsAt = 0;
    IStream* failing = host::MemoryStream::Create({1, 2, 3}, faults);
    unsigned char buffer[4];
    for (IStream* stream : {failing, static_cast<IStream*>(nullptr)}) {
        EXPECT_EQ(StreamAdapter::ReadBytes(stream, buffer, 3), 0);
        EXPECT_EQ(StreamAdapter::ReadItems(buffer, 1, 3, stream), 0u);
        EXPECT_EQ(StreamAdapter::Seek(stream, 0, 0), -1);
        EXPECT_EQ(StreamAdapter::Tell(stream), -1);
        EXPECT_EQ(StreamAdapter::TellLong(stream), -1);
    }
    failing->Release();
}

// A duration becomes whole milliseconds, or 0 (unknown) where the 32-bit
// field cannot hold it: a crafted Ogg stream can claim 2^40 samples.
TEST(TotalMillisecondsField, TakesWholeMillisecondsAndZeroWhereTheFieldCannotHoldThem)
{
    const std::pair<double, std::uint32_t> rows[] = {
        {1500.9, 1500u},        {0.5, 0u},   {4294967295.5, 4294967295u}, {4294967296.0, 0u},
        {(1ull << 40) / 48.0, 0u}, {-3.0, 0u}, {std::nan(""), 0u},          {1e300, 0u}};
    for (const auto& [milliseconds, field] : rows)
        EXPECT_EQ(TotalMillisecondsField(milliseconds), field) << milliseconds;
}

} // namespace
