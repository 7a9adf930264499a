#include "PluginStateGuard.h"

#include <decoders/Over8chSupportOpusDecoder.h>
#include <multitrack/MultiTrackModule.h>
#include <sound/BasicHSSModule.h>
#include <platform/DynamicLibrary.h>
#include <plugin/HostModuleCheck.h>

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/Utf16Text.h>

#include <string>

extern "C" HRESULT VY_STDCALL GetModuleInstance(IHSSModule**, HSSStorageProvider*, IStream*, void*);

namespace {

// A provider that only counts its references.
class CountingProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG VY_STDCALL AddRef() override { return ++references; }
    ULONG VY_STDCALL Release() override { return --references; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        *out = nullptr;
        return E_FAIL;
    }
    ULONG references = 1;
};

MultiTrackModule* NewModule(HSSStorageProvider* provider)
{
    IHSSModule* module = nullptr;
    EXPECT_EQ(GetModuleInstance(&module, provider, nullptr, nullptr), S_OK);
    return static_cast<MultiTrackModule*>(module);
}

std::u16string Text(HRESULT (IHSSModule::*get)(char16_t*, std::uint32_t), IHSSModule* module)
{
    char16_t buffer[64] = {};
    EXPECT_EQ((module->*get)(buffer, 64), S_OK);
    return buffer;
}

} // namespace

using GetModuleInstanceTest = PluginStateTest;

TEST_F(GetModuleInstanceTest, CreatesTheRegistryAndKeepsTheProviderWithOneReference)
{
    CountingProvider first;
    MultiTrackModule* module = NewModule(&first);
    ASSERT_NE(module, nullptr);
    ProcessState& state = TheProcessState();
    ASSERT_NE(state.registry, nullptr);
    EXPECT_EQ(state.registry->name, u"VyModules");
    EXPECT_EQ(state.registry->logger, &FallbackLogger());
    EXPECT_EQ(state.registry->storageProvider, &first);
    EXPECT_EQ(state.storageProvider, &first);
    EXPECT_EQ(first.references, 2u) << "the plug-in holds one reference";
    EXPECT_EQ(module->StorageProvider(), &first);
    EXPECT_FALSE(module->Use16BitOutput());

    // A second provider replaces the first, which is released once.
    CountingProvider second;
    MultiTrackModule* another = NewModule(&second);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(second.references, 2u);
    EXPECT_EQ(state.storageProvider, &second);

    // A null provider keeps the held one but clears the registry's copy.
    ModuleRegistry* registry = state.registry.get();
    MultiTrackModule* third = NewModule(nullptr);
    EXPECT_EQ(state.registry.get(), registry) << "the registry is created once";
    EXPECT_EQ(state.storageProvider, &second);
    EXPECT_EQ(second.references, 2u);
    EXPECT_EQ(state.registry->storageProvider, nullptr);
    EXPECT_EQ(third->StorageProvider(), nullptr);
    EXPECT_FALSE(third->Use16BitOutput());

    for (IHSSModule* m : {static_cast<IHSSModule*>(module), static_cast<IHSSModule*>(another),
                          static_cast<IHSSModule*>(third)})
        EXPECT_EQ(m->Release(), 0u);
    Reset();
    EXPECT_EQ(second.references, 1u);
}

TEST_F(GetModuleInstanceTest, KeepsTheNameOfARegistryThatExistsAlready)
{
    TheProcessState().EnsureRegistry(u"VyMultiTrack");
    CountingProvider provider;
    IHSSModule* module = NewModule(&provider);
    EXPECT_EQ(TheProcessState().registry->name, u"VyMultiTrack");
    EXPECT_EQ(TheProcessState().registry->storageProvider, &provider);
    module->Release();
    Reset(); // before the provider goes out of scope
}

TEST_F(GetModuleInstanceTest, ANullOutPointerLeaksNothing)
{
    CountingProvider provider;
    EXPECT_EQ(GetModuleInstance(nullptr, &provider, nullptr, nullptr), S_OK);
    EXPECT_NE(TheProcessState().registry, nullptr);
    Reset();
    EXPECT_EQ(provider.references, 1u);
}

TEST_F(GetModuleInstanceTest, TheModuleReportsItsDescriptionAndExtensions)
{
    IHSSModule* module = NewModule(nullptr);
    EXPECT_EQ(Text(&IHSSModule::GetDescriptionText, module), u"HMRSnd multi track mixer");
    EXPECT_NE(Text(&IHSSModule::GetCopyrightText, module).find(u"VyMultiTrack"), std::u16string::npos);

    char16_t shortName[32];
    char16_t extension[16];
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, extension, 16), S_OK);
    EXPECT_EQ(std::u16string(shortName), u"Multi track mixing");
    EXPECT_EQ(std::u16string(extension), u".mtrk");
    ASSERT_EQ(module->EnumSupportedExtension(1, shortName, extension, 16), S_OK);
    EXPECT_EQ(std::u16string(shortName), u"Multi channel mixing");
    EXPECT_EQ(std::u16string(extension), u".mchx");
    EXPECT_EQ(module->EnumSupportedExtension(2, shortName, extension, 16), S_FALSE);

    // Without a storage provider no list can be read.
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(module->OpenMediaInstance(u"music.mtrk", &decoder), E_FAIL);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(module->Release(), 0u);
}

TEST(SixteenBitHostModule, IsRecognisedByFileNameInAnyCaseAfterAnySeparator)
{
    EXPECT_TRUE(IsSixteenBitHostModulePath(u"hmdevui.dll"));
    EXPECT_TRUE(IsSixteenBitHostModulePath(u"C:\\Games\\Host\\HMDevUI.DLL"));
    EXPECT_TRUE(IsSixteenBitHostModulePath(u"/opt/host/hmdevui.dll"));
    EXPECT_TRUE(IsSixteenBitHostModulePath(u"C:\\data.pak>HmDevUi.Dll"));
    EXPECT_FALSE(IsSixteenBitHostModulePath(u""));
    EXPECT_FALSE(IsSixteenBitHostModulePath(u"hmdevui.dll.bak"));
    EXPECT_FALSE(IsSixteenBitHostModulePath(u"xhmdevui.dll"));
    EXPECT_FALSE(IsSixteenBitHostModulePath(u"hmdevui.dll\\"));
    EXPECT_FALSE(IsSixteenBitHostModulePath(u"hmdevui.dll>x"));
    // Only ASCII letters fold: a full-width letter never matches.
    EXPECT_FALSE(IsSixteenBitHostModulePath(u"\uFF48mdevui.dll"));
}

namespace {

struct FakeHostImage {
    explicit FakeHostImage(const std::string& relativePath)
        : handle(platform::LoadLibrary(
              vytext::ToUtf16(std::string(VY_TEST_SUPPORT_DIR) + "/" + relativePath).c_str()))
    {
    }
    ~FakeHostImage() { platform::FreeLibrary(handle); }
    HSSStorageProvider* Provider() const
    {
        auto get = reinterpret_cast<HSSStorageProvider* (*)()>(
            platform::FindExport(handle, "FakeHostStorageProvider"));
        return get ? get() : nullptr;
    }
    platform::LibraryHandle handle;
};

} // namespace

using SixteenBitOutputTest = PluginStateTest;

TEST_F(SixteenBitOutputTest, FollowsTheImageThatHoldsTheProvider)
{
    const struct {
        const char* image;
        bool sixteenBit;
    } cases[] = {
        {"lower/hmdevui.dll", true},
        {"mixed/HMDevUI.DLL", true},
        {"archive/pack>hmdevui.dll", true},
        {"other/hmdevui.dll.so", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        FakeHostImage image(c.image);
        ASSERT_NE(image.handle, nullptr);
        HSSStorageProvider* provider = image.Provider();
        ASSERT_NE(provider, nullptr);
        MultiTrackModule* module = NewModule(provider);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->Use16BitOutput(), c.sixteenBit);
        module->Release();
        Reset(); // drop the provider before its image goes
    }
    // A provider outside every image (here on the stack) is not the host module's.
    CountingProvider heapless;
    MultiTrackModule* module = NewModule(&heapless);
    EXPECT_FALSE(module->Use16BitOutput());
    module->Release();
    Reset();
}

TEST_F(GetModuleInstanceTest, ANewProviderRetiresBuiltinModulesMadeWithTheOldOne)
{
    CountingProvider first;
    IHSSModule* module = NewModule(&first);
    TheProcessState().opusModule = new BasicHSSModule<Over8chSupportOpusDecoder>(&first, nullptr);
    // The same provider again keeps the module.
    IHSSModule* again = NewModule(&first);
    EXPECT_NE(TheProcessState().opusModule, nullptr);
    // Another provider releases it before the first provider is let go.
    CountingProvider second;
    IHSSModule* other = NewModule(&second);
    EXPECT_EQ(TheProcessState().opusModule, nullptr);
    EXPECT_EQ(first.references, 1u);
    for (IHSSModule* m : {module, again, other})
        m->Release();
    Reset();
}
