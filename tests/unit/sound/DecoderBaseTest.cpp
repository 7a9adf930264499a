#include <sound/BasicHSSDecoder.h>
#include <sound/BasicHSSModule.h>
#include <sound/NoStreamHSSDecoder.h>

#include <vymultitrack/HSSStorageProvider.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

// A stream that only counts references; the decoders below never read it.
class CountedStream final : public IStream {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG VY_STDCALL AddRef() override { return ++references; }
    ULONG VY_STDCALL Release() override { return --references; }
    HRESULT VY_STDCALL Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Seek(std::int64_t, DWORD, std::uint64_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL SetSize(std::uint64_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CopyTo(IStream*, std::uint64_t, std::uint64_t*, std::uint64_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Revert() override { return E_NOTIMPL; }
    HRESULT VY_STDCALL LockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL Clone(IStream**) override { return E_NOTIMPL; }
    ULONG references = 0;
};

// Serves `stream` for every name (code S_OK), or answers `failure`.
class OneStreamProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG VY_STDCALL AddRef() override { return 2; }
    ULONG VY_STDCALL Release() override { return 1; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        *out = nullptr;
        if (failure != S_OK)
            return failure;
        if (stream) {
            stream->AddRef();
            *out = stream;
        }
        return S_OK;
    }
    IStream* stream = nullptr;
    HRESULT failure = S_OK;
};

// A source of `length` mono frames whose sample k is k; opens only when
// told to.
class CountingDecoder : public BasicHSSDecoder {
public:
    static inline bool opens = true;
    static inline int live = 0;
    static constexpr std::uint32_t length = 1000;
    CountingDecoder() { ++live; }
    bool OpenStream(IStream*, const char16_t*, HSSWaveFormat& f) override
    {
        f = HSSWaveFormat{48000, 1, kSampleFormatFloat32, 2, length, 20, {}};
        return opens;
    }
    bool DecodeSamples(IStream*, void* buffer, std::uint32_t frames, std::uint32_t& rendered) override
    {
        rendered = 0;
        auto* out = static_cast<float*>(buffer);
        while (rendered < frames && next < length)
            out[rendered++] = static_cast<float>(next++);
        return rendered != 0;
    }
    bool SeekSamples(IStream*, std::uint64_t position) override
    {
        if (position > length)
            return false;
        next = static_cast<std::uint32_t>(position);
        return true;
    }
    std::uint32_t next = 0;

protected:
    ~CountingDecoder() override { --live; }
};

struct RenderResult {
    HRESULT result;
    std::uint32_t rendered;
    std::uint32_t status;
};

RenderResult RenderInto(IHSSWaveDecoder* decoder, std::vector<float>& buffer, std::uint32_t frames)
{
    buffer.assign(frames + 1, -1.0f);
    RenderResult r{E_FAIL, 77, 77};
    r.result = decoder->Render(buffer.data(), frames, &r.rendered, &r.status);
    return r;
}

} // namespace

TEST(BasicHSSDecoder, RenderReportsTheShortBlockThenTheEnd)
{
    CountedStream stream;
    OneStreamProvider provider;
    provider.stream = &stream;
    BasicHSSModule<CountingDecoder> module(&provider, nullptr);
    IHSSWaveDecoder* decoder = nullptr;
    ASSERT_EQ(module.OpenMediaInstance(u"x", &decoder), S_OK);
    EXPECT_EQ(stream.references, 1u) << "only the decoder holds the stream";

    std::vector<float> buffer;
    RenderResult r = RenderInto(decoder, buffer, 600);
    EXPECT_EQ(r.result, S_OK);
    EXPECT_EQ(r.rendered, 600u);
    EXPECT_EQ(r.status, 1u);
    r = RenderInto(decoder, buffer, 600);
    EXPECT_EQ(r.rendered, 400u);
    EXPECT_EQ(r.status, 0u) << "fewer frames than asked: the source ended";
    EXPECT_EQ(buffer[399], 999.0f);
    r = RenderInto(decoder, buffer, 600);
    EXPECT_EQ(r.result, S_OK);
    EXPECT_EQ(r.rendered, 0u);
    EXPECT_EQ(r.status, 0u);
    // Null out-parameters are allowed.
    EXPECT_EQ(decoder->Render(buffer.data(), 1, nullptr, nullptr), S_OK);

    EXPECT_EQ(decoder->SetPosition(250), S_OK);
    r = RenderInto(decoder, buffer, 1);
    EXPECT_EQ(buffer[0], 250.0f);
    EXPECT_EQ(decoder->SetPosition(5000), E_FAIL) << "a refused seek";

    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.totalSamples, CountingDecoder::length);
    EXPECT_EQ(decoder->Release(), 0u);
    EXPECT_EQ(stream.references, 0u);
    EXPECT_EQ(CountingDecoder::live, 0);
}

TEST(BasicHSSDecoder, FailedOpensReleaseEverythingAndPassTheProvidersCode)
{
    CountedStream stream;
    OneStreamProvider provider;
    provider.stream = &stream;
    BasicHSSModule<CountingDecoder> module(&provider, nullptr);
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);

    CountingDecoder::opens = false;
    EXPECT_EQ(module.OpenMediaInstance(u"x", &decoder), E_FAIL);
    CountingDecoder::opens = true;
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(stream.references, 0u);
    EXPECT_EQ(CountingDecoder::live, 0);

    provider.failure = static_cast<HRESULT>(0x80030002u);
    EXPECT_EQ(module.OpenMediaInstance(u"x", &decoder), provider.failure);
    EXPECT_EQ(CountingDecoder::live, 0);

    provider.failure = S_OK;
    provider.stream = nullptr; // success without a stream
    EXPECT_EQ(module.OpenMediaInstance(u"x", &decoder), E_FAIL);
    EXPECT_EQ(CountingDecoder::live, 0);
}

TEST(BasicHSSDecoder, WithoutAStreamEveryHostOperationFails)
{
    BasicHSSModule<CountingDecoder> module(nullptr, nullptr);
    CountingDecoder* decoder = module.CreateDecoder(u"x");
    ASSERT_NE(decoder, nullptr);
    HSSWaveFormat format{};
    float sample = 0;
    EXPECT_EQ(decoder->GetFormat(&format), E_FAIL);
    EXPECT_EQ(decoder->Render(&sample, 1, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(decoder->SetPosition(0), E_FAIL);
    EXPECT_EQ(decoder->Release(), 0u);
}

namespace {

// Opens with whatever format it is given.
class FormatOnlyDecoder : public NoStreamHSSDecoder {
public:
    explicit FormatOnlyDecoder(HSSWaveFormat f) : wanted(f) {}
    bool Open(const char16_t*, HSSWaveFormat& f) override
    {
        f = wanted;
        return true;
    }
    bool DecodeSamples(void*, std::uint32_t frames, std::uint32_t& rendered) override
    {
        rendered = frames / 2;
        return true;
    }
    bool SeekSamples(std::uint64_t) override { return true; }
    void CloseSources() override {}
    HSSWaveFormat wanted;
};

} // namespace

TEST(NoStreamHSSDecoder, GetFormatNeedsTheOpenedFlagAndACompleteFormat)
{
    const HSSWaveFormat complete{44100, 2, kSampleFormatFloat32, 2, 10, 0, {}};
    for (int zeroField = -1; zeroField < 3; ++zeroField) {
        HSSWaveFormat f = complete;
        if (zeroField == 0)
            f.sampleRate = 0;
        if (zeroField == 1)
            f.channelCount = 0;
        if (zeroField == 2)
            f.sampleFormat = 0;
        auto* decoder = new FormatOnlyDecoder(f);
        ASSERT_TRUE(decoder->Open(u"x", decoder->Format()));
        HSSWaveFormat out{};
        EXPECT_EQ(decoder->GetFormat(&out), E_FAIL) << "not opened yet";
        std::uint32_t rendered = 9;
        EXPECT_EQ(decoder->Render(nullptr, 4, &rendered, nullptr), E_FAIL);
        EXPECT_EQ(decoder->SetPosition(0), E_FAIL);
        decoder->SetOpened(true);
        EXPECT_EQ(decoder->GetFormat(&out), zeroField < 0 ? S_OK : E_FAIL) << zeroField;
        std::uint32_t status = 9;
        EXPECT_EQ(decoder->Render(nullptr, 4, &rendered, &status), S_OK);
        EXPECT_EQ(rendered, 2u);
        EXPECT_EQ(status, 0u);
        EXPECT_EQ(decoder->SetPosition(0), S_OK);
        decoder->Release();
    }
}
