#include <sound/BasicHSSModule.h>
#include <sound/BasicHSSDecoder.h>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr ModuleExtensionEntry kEntries[] = {{u"Short", u".ext"}};
constexpr ModuleInformation kInfo = {u"Copyright text", u"Description", 1, kEntries};

// A decoder that counts its live instances and never opens anything.
class NullDecoder : public BasicHSSDecoder {
public:
    static inline int live = 0;
    NullDecoder() { ++live; }
    bool OpenStream(IStream*, const char16_t*, HSSWaveFormat&) override { return false; }
    bool DecodeSamples(IStream*, void*, std::uint32_t, std::uint32_t&) override { return false; }
    bool SeekSamples(IStream*, std::uint64_t) override { return false; }

protected:
    ~NullDecoder() override { --live; }
};

using Module = BasicHSSModule<NullDecoder>;

constexpr char16_t kSentinel = u'#';

} // namespace

TEST(ModuleBase, TextCopiesFollowTheBufferLength)
{
    Module* module = new Module(nullptr, &kInfo);
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), kSentinel);

    EXPECT_EQ(module->GetCopyrightText(buffer, 0), S_OK);
    EXPECT_EQ(buffer[0], kSentinel) << "length 0 writes nothing";

    EXPECT_EQ(module->GetCopyrightText(buffer, 1), S_OK);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(buffer[1], kSentinel) << "length 1 writes only the terminator";

    EXPECT_EQ(module->GetCopyrightText(buffer, 5), S_OK);
    EXPECT_EQ(std::u16string(buffer), u"Copy");
    EXPECT_EQ(buffer[5], kSentinel);

    char16_t whole[32];
    EXPECT_EQ(module->GetDescriptionText(whole, 32), S_OK);
    EXPECT_EQ(std::u16string(whole), u"Description");
    module->Release();
}

TEST(ModuleBase, ExtensionWalkEndsWithSFalseAndCutsTheExtension)
{
    Module* module = new Module(nullptr, &kInfo);
    char16_t shortName[32];
    char16_t extension[8];
    std::fill(std::begin(extension), std::end(extension), kSentinel);
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, extension, 3), S_OK);
    EXPECT_EQ(std::u16string(shortName), u"Short") << "the short name is copied whole";
    EXPECT_EQ(std::u16string(extension), u".e");
    EXPECT_EQ(extension[3], kSentinel);
    EXPECT_EQ(module->EnumSupportedExtension(1, shortName, extension, 8), S_FALSE);
    EXPECT_EQ(module->EnumSupportedExtension(0xFFFFFFFFu, shortName, extension, 8), S_FALSE);
    module->Release();
}

TEST(ModuleBase, WithoutAnInformationRecordEveryInformationSlotIsNotImplemented)
{
    Module* module = new Module(nullptr, nullptr);
    char16_t a[8];
    char16_t b[8];
    EXPECT_EQ(module->GetCopyrightText(a, 8), E_NOTIMPL);
    EXPECT_EQ(module->GetDescriptionText(a, 8), E_NOTIMPL);
    for (std::uint32_t index : {0u, 1u, 7u})
        EXPECT_EQ(module->EnumSupportedExtension(index, a, b, 8), E_NOTIMPL);
    void* information = nullptr;
    EXPECT_EQ(module->GetMediaInformation(u"x", &information), E_NOTIMPL);
    EXPECT_EQ(module->CheckMediaSupport(u"x"), E_NOTIMPL);
    module->Release();
}

TEST(ModuleBase, QueryInterfaceAnswersExactlyTwoIds)
{
    Module* module = new Module(nullptr, nullptr);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(module->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(module->QueryInterface(IID_IHSSReserved, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(module->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    for (const IID& iid : {IID_IUnknown, IID_IHSSObject}) {
        out = nullptr;
        ASSERT_EQ(module->QueryInterface(iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<IHSSModule*>(module));
        EXPECT_EQ(module->Release(), 1u) << "QueryInterface added one reference";
    }
    EXPECT_EQ(module->AddRef(), 2u);
    EXPECT_EQ(module->Release(), 1u);
    EXPECT_EQ(module->Release(), 0u);
}

TEST(ModuleBase, OpenMediaInstanceWithoutProviderFailsAndLeavesNoDecoder)
{
    Module* module = new Module(nullptr, nullptr);
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(module->OpenMediaInstance(u"a.opus", &decoder), E_FAIL);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(NullDecoder::live, 0);
    EXPECT_EQ(module->OpenMediaInstance(u"a.opus", nullptr), E_INVALIDARG);
    module->Release();
}
