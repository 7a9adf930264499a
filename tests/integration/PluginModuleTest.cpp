// The plug-in as the engine sees it: a shared library reached only through
// its exported GetModuleInstance.
#include <host/FileStorageProvider.h>
#include <host/PluginLibrary.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class PluginModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plugin.Load(VY_PLUGIN_PATH)) << plugin.Error();
        getModuleInstance = plugin.GetModuleInstance();
        ASSERT_NE(getModuleInstance, nullptr);
    }

    host::PluginLibrary plugin;
    GetModuleInstanceFunction getModuleInstance = nullptr;
};

} // namespace

TEST_F(PluginModuleTest, ExportsOnlyItsEntryPoint)
{
    EXPECT_EQ(plugin.FindExport("OpenBuiltinDecoder"), nullptr);
    EXPECT_EQ(plugin.FindExport("TheProcessState"), nullptr);
    EXPECT_EQ(plugin.FindExport("_Z15TheProcessStatev"), nullptr) << "internal symbols stay hidden";
}

TEST_F(PluginModuleTest, HandsOutTheMultiTrackModule)
{
    host::FileStorageProvider* provider = host::FileStorageProvider::Create(::testing::TempDir());
    IHSSModule* module = nullptr;
    ASSERT_EQ(getModuleInstance(&module, provider, nullptr, nullptr), S_OK);
    ASSERT_NE(module, nullptr);

    char16_t text[64];
    ASSERT_EQ(module->GetDescriptionText(text, 64), S_OK);
    EXPECT_EQ(std::u16string(text), u"HMRSnd multi track mixer");
    char16_t shortName[32];
    ASSERT_EQ(module->EnumSupportedExtension(0, shortName, text, 64), S_OK);
    EXPECT_EQ(std::u16string(text), u".mtrk");
    ASSERT_EQ(module->EnumSupportedExtension(1, shortName, text, 64), S_OK);
    EXPECT_EQ(std::u16string(text), u".mchx");
    EXPECT_EQ(module->EnumSupportedExtension(2, shortName, text, 64), S_FALSE);

    void* same = nullptr;
    ASSERT_EQ(module->QueryInterface(IID_IHSSObject, &same), S_OK);
    EXPECT_EQ(same, module);
    EXPECT_EQ(module->Release(), 1u);

    // The plug-in keeps the provider with a reference of its own until it
    // is replaced.
    EXPECT_EQ(provider->AddRef(), 3u);
    provider->Release();
    host::FileStorageProvider* next = host::FileStorageProvider::Create(::testing::TempDir());
    IHSSModule* second = nullptr;
    ASSERT_EQ(getModuleInstance(&second, next, nullptr, nullptr), S_OK);
    EXPECT_EQ(provider->Release(), 0u) << "the replaced provider was released once";

    EXPECT_EQ(module->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
    // The plug-in keeps `next` until its script face is unlinked; until then
    // the provider stays alive (and reachable) like the engine's own.
    static host::FileStorageProvider* const keptByThePlugin = next;
    EXPECT_EQ(keptByThePlugin->Release(), 1u);
}
