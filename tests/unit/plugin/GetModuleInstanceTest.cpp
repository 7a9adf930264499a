// GetModuleInstance on the plug-in's process state: the provider it keeps,
// the built-in modules it retires, and the 16-bit output of the host
// module. (Its module's texts and the registry's name are checked through
// the shared library.)
#include "PluginStateGuard.h"

#include <decoders/Over8chSupportOpusDecoder.h>
#include <multitrack/sources/ModuleLinking.h>
#include <multitrack/decoder/MultiTrackModule.h>
#include <platform/DynamicLibrary.h>
#include <plugin/HostModuleCheck.h>
#include <sound/BasicHSSModule.h>

#include <vymultitrack/Utf16Text.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" HRESULT VY_STDCALL GetModuleInstance(IHSSModule**, HSSStorageProvider*, IStream*, void*);

namespace {

using GetModuleInstanceTest = PluginStateTest;

// A provider that only counts its references.
class CountingProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG VY_STDCALL AddRef() override { return ++references; }
    ULONG VY_STDCALL Release() override { return --references; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream**) override { return E_FAIL; }
    ULONG references = 1;
};

MultiTrackModule* NewModule(HSSStorageProvider* provider)
{
    IHSSModule* module = nullptr;
    EXPECT_EQ(GetModuleInstance(&module, provider, nullptr, nullptr), S_OK);
    return static_cast<MultiTrackModule*>(module);
}

// The built-in modules keep a plain copy of the provider they were made with.
TEST_F(GetModuleInstanceTest, KeepsTheLastProviderAndRetiresBuiltinModulesMadeWithAReplacedOne)
{
    CountingProvider first;
    CountingProvider second;
    ProcessState& state = TheProcessState();
    std::vector<MultiTrackModule*> modules = {NewModule(&first)};
    state.opusModule = new BasicHSSModule<Over8chSupportOpusDecoder>(&first, nullptr);
    modules.push_back(NewModule(&first));
    EXPECT_NE(state.opusModule, nullptr) << "the same provider again keeps them";
    modules.push_back(NewModule(&second));
    EXPECT_EQ(state.opusModule, nullptr);
    modules.push_back(NewModule(nullptr));
    EXPECT_EQ(first.references, 1u) << "released once when replaced";
    EXPECT_EQ(second.references, 2u) << "a null provider keeps the one held";
    EXPECT_EQ(state.storageProvider, &second);
    ASSERT_NE(state.registry, nullptr);
    EXPECT_EQ(state.registry->storageProvider, nullptr) << "the registry's copy follows each call";
    for (MultiTrackModule* module : modules) {
        EXPECT_FALSE(module->Use16BitOutput()) << "no provider here lives in the host module";
        EXPECT_EQ(module->Release(), 0u);
    }
    EXPECT_EQ(GetModuleInstance(nullptr, &first, nullptr, nullptr), S_OK) << "without an out pointer";
    Reset();
    EXPECT_EQ(std::pair(first.references, second.references), std::pair(1u, 1u));
}

TEST(SixteenBitHostModule, IsRecognisedByFileNameInAnyAsciiCaseAfterAnySeparator)
{
    const std::pair<const char16_t*, bool> rows[] = {
        {u"hmdevui.dll", true},          {u"C:\\Games\\Host\\HMDevUI.DLL", true}, {u"/opt/host/hmdevui.dll", true},
        {u"C:\\data.pak>HmDevUi.Dll", true}, {u"", false},                        {u"hmdevui.dll.bak", false},
        {u"xhmdevui.dll", false},        {u"hmdevui.dll\\", false},               {u"hmdevui.dll>x", false},
        {u"\uFF48mdevui.dll", false}, // a full-width letter never folds
    };
    for (const auto& [path, expected] : rows)
        EXPECT_EQ(IsSixteenBitHostModulePath(path), expected) << vytext::ToUtf8(path);
}

// The host module is the image that holds the provider (test images with
// a provider inside, named as the host module would be).
TEST_F(GetModuleInstanceTest, SixteenBitOutputFollowsTheImageThatHoldsTheProvider)
{
    const std::pair<const char*, bool> rows[] = {
        {"lower/hmdevui.dll", true}, {"mixed/HMDevUI.DLL", true}, {"other/hmdevui.dll.so", false}};
    for (const auto& [image, sixteenBit] : rows) {
        SCOPED_TRACE(image);
        const std::u16string path = vytext::ToUtf16(std::string(VY_TEST_SUPPORT_DIR) + "/" + image);
        const platform::LibraryHandle handle = platform::LoadLibrary(path.c_str());
        ASSERT_NE(handle, nullptr);
        const auto provider =
            reinterpret_cast<HSSStorageProvider* (*)()>(platform::FindExport(handle, "FakeHostStorageProvider"));
        ASSERT_NE(provider, nullptr);
        MultiTrackModule* module = NewModule(provider());
        EXPECT_EQ(module->Use16BitOutput(), sixteenBit);
        module->Release();
        Reset(); // drop the provider before its image goes
        platform::FreeLibrary(handle);
    }
}

// A linked module and the kept provider whose libraries a host may have
// unloaded before static objects go: releasing them at exit would call
// into freed code, so the process exits without touching them.
TEST_F(GetModuleInstanceTest, NothingIsReleasedAtProcessExit)
{
    struct LoudModule final : IHSSModule {
        HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG VY_STDCALL AddRef() override { return 2; }
        ULONG VY_STDCALL Release() override { return std::fputs("module released\n", stderr), 1; }
        HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
        HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
        HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t, char16_t*, char16_t*, std::uint32_t) override
        {
            return S_FALSE;
        }
        HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
        HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }
        HRESULT VY_STDCALL OpenMediaInstance(const char16_t*, IHSSWaveDecoder**) override { return E_NOTIMPL; }
    };
    struct LoudProvider final : HSSStorageProvider {
        HRESULT VY_STDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG VY_STDCALL AddRef() override { return 2; }
        ULONG VY_STDCALL Release() override { return std::fputs("provider released\n", stderr), 1; }
        HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream**) override { return E_FAIL; }
    };
    const auto exitLinked = [] {
        static LoudModule module;
        static LoudProvider provider;
        IHSSModule* multiTrack = NewModule(&provider);
        multiTrack->Release();
        static_cast<void>(RegisterModule(*TheProcessState().registry, u"LOUD.DLL", &module));
        std::fputs("exiting\n", stderr);
        std::exit(0);
    };
    EXPECT_EXIT(exitLinked(), testing::ExitedWithCode(0), "exiting\n$") << "nothing written after exit";
}

} // namespace
