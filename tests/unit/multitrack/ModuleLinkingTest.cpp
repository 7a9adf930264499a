// Decoder module linking against real module images: the test
// images of tests/support (see TestDecoderModule.cpp) and the WAV module.
// Each test links into a registry of its own with a recording logger; the
// process-wide registry is not touched.
//
// Libraries that linking loads stay loaded for the rest of the process (the
// registry never frees one it loaded successfully), so the tests measure
// the images' counters as differences.
#include <multitrack/ModuleLinking.h>
#include <platform/DynamicLibrary.h>
#include <plugin/BasicHSSLogger.h>
#include <plugin/ModuleRegistry.h>

#include <support/TestDecoderModule.h>

#include <host/ComObject.h>
#include <host/MemoryStorageProvider.h>
#include <host/WavWriter.h>

#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Found = std::pair<bool, IHSSModule*>;

std::u16string U16(const fs::path& path) { return vytext::ToUtf16(path.string()); }

std::u16string Upper(std::u16string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; });
    return text;
}

fs::path SupportImage(const char* fileName) { return fs::path(VY_TEST_SUPPORT_DIR) / "modules" / fileName; }

using Line = std::pair<std::int32_t, std::u16string>;
using Lines = std::vector<Line>;

class RecordingLogger final : public BasicHSSLogger {
public:
    void Log(std::int32_t level, const char16_t* text) override { lines.emplace_back(level, text ? text : u"<null>"); }
    Lines lines;
};

// The lines a "VyModules" registry logs.
Line Linked(const std::u16string& name) { return {kLogLevelNormal, u"VyModules: module linked:" + Upper(name)}; }
Line NotLinked(const std::u16string& n) { return {kLogLevelImportant, u"VyModules: module not found/cannot linked:" + Upper(n)}; }
Line UnknownExtension(const std::u16string& name) { return {kLogLevelImportant, u"VyModules: unknown file exts:" + name}; }

// A test module image, loaded to read its counters. The reference is never
// dropped: a registry that found the image already loaded holds modules of
// it without a reference of its own (as GetModuleHandleW adds none), and
// the fixture's registry goes only after the test body.
class TestImage {
public:
    explicit TestImage(const char* fileName) : name(U16(SupportImage(fileName)))
    {
        const platform::LibraryHandle handle = platform::LoadLibrary(name.c_str());
        const auto statistics = reinterpret_cast<TestModuleStatisticsFunction>(
            handle ? platform::FindExport(handle, kTestModuleStatisticsExport) : nullptr);
        counts = statistics ? statistics() : nullptr;
    }
    const std::u16string name;
    TestModuleStatistics* counts = nullptr;
};

class ModuleLinkingTest : public ::testing::Test {
protected:
    void SetUp() override { registry->storageProvider = provider; }
    void TearDown() override
    {
        registry.reset(); // releases the modules before their images may go
        provider->Release();
    }

    RecordingLogger logger;
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    std::unique_ptr<ModuleRegistry> registry = std::make_unique<ModuleRegistry>(u"VyModules", &logger);
};

// A module living in the test itself, for RegisterModule on its own.
class FakeModule final : public host::ComObject<IHSSModule> {
public:
    FakeModule(std::vector<std::u16string> extensions, HRESULT walkEnd) : extensions_(std::move(extensions)), walkEnd_(walkEnd) {}
    HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName, char16_t* extension,
                                              std::uint32_t length) override
    {
        if (index >= extensions_.size())
            return walkEnd_;
        shortName[0] = 0;
        extension[extensions_[index].copy(extension, length - 1)] = 0;
        return S_OK;
    }
    HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t*, IHSSWaveDecoder** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }

private:
    std::vector<std::u16string> extensions_;
    HRESULT walkEnd_;
};

// --- the map -----------------------------------------------------------------

TEST_F(ModuleLinkingTest, TheMapAndRegisteringAModule)
{
    // A known null entry is told from a missing one; keys are compared exactly.
    auto* module = new FakeModule({u".OGG", u".Mp3", u".ÄB"}, S_FALSE);
    EXPECT_EQ(LookupModule(*registry, u"KEY"), Found(false, nullptr));
    SetModuleEntry(*registry, u"KEY", nullptr);
    EXPECT_EQ(LookupModule(*registry, u"KEY"), Found(true, nullptr));
    SetModuleEntry(*registry, u"KEY", module);
    EXPECT_EQ(LookupModule(*registry, u"KEY"), Found(true, module));
    EXPECT_EQ(LookupModule(*registry, u"key"), Found(false, nullptr));

    // Registering keeps the module and maps its extensions lower-cased (ASCII
    // letters only), taking over the caller's reference; the code that ended
    // the walk comes back.
    EXPECT_EQ(RegisterModule(*registry, u"LIB.DLL", module), S_FALSE);
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>{module});
    for (const char16_t* key : {u"LIB.DLL", u".ogg", u".mp3", u".Äb"})
        EXPECT_EQ(LookupModule(*registry, key), Found(true, module)) << vytext::ToUtf8(key);
    EXPECT_EQ(registry->moduleByName.size(), 5u);
    EXPECT_EQ(module->AddRef(), 2u) << "no reference was added";
    module->Release();
    auto* failing = new FakeModule({u".a"}, E_FAIL);
    EXPECT_EQ(RegisterModule(*registry, u"F", failing), E_FAIL);
    EXPECT_EQ(LookupModule(*registry, u".a"), Found(true, failing));
    EXPECT_EQ(RegisterModule(*registry, u"NULL", nullptr), E_POINTER);
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>({module, failing})) << "a null module changes nothing";
}

// --- linking -----------------------------------------------------------------

TEST_F(ModuleLinkingTest, LinksAModuleOnceMapsItsExtensionsAndHoldsOneReference)
{
    TestImage image("VyVorbis.dll");
    ASSERT_NE(image.counts, nullptr);
    const TestModuleStatistics before = *image.counts;
    IHSSModule* module = LinkModule(*registry, image.name.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(logger.lines, Lines{Linked(image.name)});
    // The long extension: the module wrote all 255 units it was told of and a
    // terminator after them, into the registry's 256-unit buffer.
    for (const std::u16string& key : {Upper(image.name), std::u16string(u".ogg"), std::u16string(u".oga"),
                                      u"." + std::u16string(254, u'x')})
        EXPECT_EQ(LookupModule(*registry, key).second, module) << vytext::ToUtf8(key);
    EXPECT_EQ(registry->moduleByName.size(), 4u);
    EXPECT_EQ(image.counts->instanceRequests - before.instanceRequests, 1);
    EXPECT_EQ(image.counts->modulesAlive - before.modulesAlive, 1);
    EXPECT_EQ(image.counts->lastStorageProvider, provider);
    EXPECT_EQ(image.counts->lastConfigStream, nullptr);
    EXPECT_EQ(image.counts->lastMainWindow, nullptr);
    EXPECT_EQ(image.counts->lastExtensionLength, 255u);
    EXPECT_EQ(image.counts->extensionWalkCalls - before.extensionWalkCalls, 4) << "three entries and the S_FALSE";

    // Linking again, under any spelling of the name (no file has this one on
    // a case-sensitive file system), finds the module without loading, logging
    // or adding a reference.
    ASSERT_FALSE(fs::exists(SupportImage("vyvorbis.DLL")));
    EXPECT_EQ(LinkModule(*registry, U16(SupportImage("vyvorbis.DLL")).c_str()), module);
    EXPECT_EQ(image.counts->instanceRequests - before.instanceRequests, 1);
    EXPECT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(registry->modules.size(), 1u);
    EXPECT_EQ(module->AddRef(), 2u) << "the registry's reference and this one";
    EXPECT_EQ(module->Release(), 1u);
    registry.reset();
    EXPECT_EQ(image.counts->modulesAlive, before.modulesAlive);
}

TEST_F(ModuleLinkingTest, ABareNameLinksALibraryAlreadyInTheProcess)
{
    // The image is loaded (by TestImage); the loader then finds it by its bare
    // file name (its soname), as GetModuleHandleW finds a loaded DLL.
    TestImage image("VyVorbis.dll");
    IHSSModule* module = LinkModule(*registry, u"VyVorbis.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LinkModule(*registry, u"vyvorbis.DLL"), module);
    EXPECT_EQ(logger.lines, Lines{Linked(u"VyVorbis.dll")});
}

// A failure is logged the first time, or every time when linking loaded the
// library itself and freed it again for lacking the entry point; it leaves a
// null entry and each call tries again. Entry points that fail, or give a
// module together with a failure, release what they gave.
TEST_F(ModuleLinkingTest, FailuresAreLoggedAsTheTableSaysAndTriedAgain)
{
    struct Case {
        const char* image;
        bool loadedBefore, loggedEveryTime;
        int modulesPerAttempt; // modules the entry point makes (-1: not a test image)
    };
    for (const Case& c : {Case{"no-such-module.so", false, false, -1}, Case{"vytest_no_entry_point.so", false, true, -1},
                          Case{"vytest_no_entry_point.so", true, false, -1}, Case{"vytest_entry_fails.so", false, false, 0},
                          Case{"vytest_entry_fails_with_module.so", false, false, 1},
                          Case{"vytest_entry_s_false.so", false, false, 1}, Case{"vytest_entry_null_module.so", false, false, 0}}) {
        SCOPED_TRACE(testing::Message() << c.image << (c.loadedBefore ? ", loaded before" : ""));
        ModuleRegistry local(u"VyModules", &logger);
        logger.lines.clear();
        const std::u16string name = U16(SupportImage(c.image));
        const platform::LibraryHandle mine = c.loadedBefore ? platform::LoadLibrary(name.c_str()) : nullptr;
        const auto image = c.modulesPerAttempt < 0 ? nullptr : std::make_unique<TestImage>(c.image);
        const TestModuleStatistics before = image ? *image->counts : TestModuleStatistics{};
        for (int attempt = 1; attempt <= 3; ++attempt) {
            EXPECT_EQ(LinkModule(local, name.c_str()), nullptr);
            EXPECT_EQ(logger.lines, Lines(c.loggedEveryTime ? attempt : 1, NotLinked(name)));
            EXPECT_EQ(platform::FindLoadedLibrary(name.c_str()) != nullptr, c.loadedBefore || image)
                << "freed when linking loaded it, else kept";
        }
        EXPECT_EQ(LookupModule(local, Upper(name)), Found(true, nullptr));
        EXPECT_TRUE(local.modules.empty());
        if (image) {
            EXPECT_EQ(image->counts->instanceRequests - before.instanceRequests, 3);
            EXPECT_EQ(image->counts->modulesMade - before.modulesMade, 3 * c.modulesPerAttempt);
            EXPECT_EQ(image->counts->modulesAlive, before.modulesAlive) << "a module that came with a failure is released";
        }
        if (mine)
            platform::FreeLibrary(mine);
    }
}

TEST_F(ModuleLinkingTest, ALibraryThatAppearsLaterIsLinkedThen)
{
    const fs::path folder = fs::temp_directory_path() / ("vy-linking-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    const std::u16string name = U16(folder / "late_module.so");
    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    fs::copy_file(SupportImage("vytest_ogg_second.so"), folder / "late_module.so");
    IHSSModule* module = LinkModule(*registry, name.c_str());
    EXPECT_NE(module, nullptr) << "a remembered failure does not stop a later attempt";
    EXPECT_EQ(logger.lines, Lines({NotLinked(name), Linked(name)}));
    EXPECT_EQ(FindModuleForFile(*registry, u"x.xyz"), module);
    std::error_code ignored;
    fs::remove_all(folder, ignored); // the loaded image stays mapped
}

TEST_F(ModuleLinkingTest, AModuleWhoseWalkFailsIsKeptWithoutExtensions)
{
    TestImage image("vytest_walk_fails.so");
    IHSSModule* module = LinkModule(*registry, image.name.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(logger.lines, Lines{Linked(image.name)});
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>{module});
    EXPECT_EQ(registry->moduleByName.size(), 1u);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.ogg"), nullptr);
}

TEST_F(ModuleLinkingTest, TheModuleLinkedLastTakesASharedExtension)
{
    const std::u16string first = TestImage("VyVorbis.dll").name;
    const std::u16string second = TestImage("vytest_ogg_second.so").name;
    IHSSModule* a = LinkModule(*registry, first.c_str());
    IHSSModule* b = LinkModule(*registry, second.c_str());
    ASSERT_TRUE(a && b && a != b);
    EXPECT_EQ(FindModuleForFile(*registry, u"music/Song.OGG"), b);
    EXPECT_EQ(FindModuleForFile(*registry, u"x.oga"), a) << "what only the first reports stays with it";
    EXPECT_EQ(FindModuleForFile(*registry, u"x.xyz"), b);
}

TEST_F(ModuleLinkingTest, LinesBeginWithTheRegistrysNameAndNothingNeedsALogger)
{
    const std::u16string name = TestImage("vytest_ogg_second.so").name;
    ModuleRegistry scripted(u"VyMultiTrack", &logger);
    ASSERT_NE(LinkModule(scripted, name.c_str()), nullptr);
    EXPECT_EQ(FindModuleForFile(scripted, u"a.none"), nullptr);
    EXPECT_EQ(LinkModule(scripted, nullptr), nullptr);
    EXPECT_EQ(logger.lines, Lines({{0, u"VyMultiTrack: module linked:" + Upper(name)},
                                   {1, u"VyMultiTrack: unknown file exts:a.none"}}));

    registry->logger = nullptr;
    for (const char* image : {"no-such-module.so", "vytest_no_entry_point.so"})
        EXPECT_EQ(LinkModule(*registry, U16(SupportImage(image)).c_str()), nullptr);
    EXPECT_NE(LinkModule(*registry, name.c_str()), nullptr);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.unknown"), nullptr);
    EXPECT_EQ(logger.lines.size(), 2u);
}

// --- finding the module for a file -------------------------------------------

TEST_F(ModuleLinkingTest, FindsByTheLowerCasedExtensionAfterTheLastDot)
{
    IHSSModule* module = LinkModule(*registry, TestImage("vytest_ogg_second.so").name.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LinkModule(*registry, u".123"), nullptr); // a library-name key is no extension
    logger.lines.clear();
    for (const char16_t* name : {u"Song.OGG", u"dir.v2/a.b.ogg", u".ogg"})
        EXPECT_EQ(FindModuleForFile(*registry, name), module) << vytext::ToUtf8(name);
    // Without a dot, or no name: nothing, silently.
    for (const char16_t* name : {u"music/ogg", u"", static_cast<const char16_t*>(nullptr)})
        EXPECT_EQ(FindModuleForFile(*registry, name), nullptr);
    EXPECT_TRUE(logger.lines.empty());
    // An unknown extension ('.b/music' is looked up here) is logged every time,
    // with the name as passed.
    for (const char16_t* name : {u"a.b/music", u"Song.OGG.bak", u"a.b/music", u"take.123"})
        EXPECT_EQ(FindModuleForFile(*registry, name), nullptr);
    EXPECT_EQ(logger.lines, Lines({UnknownExtension(u"a.b/music"), UnknownExtension(u"Song.OGG.bak"),
                                   UnknownExtension(u"a.b/music"), UnknownExtension(u"take.123")}));
}

// --- the WAV module through linking ------------------------------------------

TEST_F(ModuleLinkingTest, TheWavModuleDecodesThroughTheRegistrysProvider)
{
    const std::u16string name = U16(VY_WAV_MODULE_PATH);
    IHSSModule* wav = LinkModule(*registry, name.c_str());
    ASSERT_NE(wav, nullptr);
    provider->Add(u"music/Theme.WAV", host::WriteWav16({1, -1, 300, -300, 32767, -32768}, 2, 44100));
    ASSERT_EQ(FindModuleForFile(*registry, u"music/Theme.WAV"), wav);
    IHSSWaveDecoder* decoder = nullptr;
    ASSERT_EQ(wav->OpenMediaInstance(u"music/Theme.WAV", &decoder), S_OK) << "the file came through the provider";
    decoder->Release();
}

} // namespace
