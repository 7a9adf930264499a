// Decoder modules: the registry's map, linking module libraries (the test
// images of tests/support, see TestDecoderModule.cpp), finding the module
// for a file, and opening a list's sources through the built-in decoders or
// a module, with the decoder-choice field of the lists.
//
// Libraries that linking loads stay loaded for the rest of the process, so
// the tests measure the images' counters as differences.
#include "MultiTrackTestSupport.h"

#include <multitrack/sources/SourceOpening.h>
#include <platform/DynamicLibrary.h>

#include <support/TestDecoderModule.h>

#include <host/TestAudio.h>

#include <filesystem>
#include <memory>

namespace {

using Lines = std::vector<std::pair<std::int32_t, std::u16string>>;

std::u16string Upper(std::u16string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; });
    return text;
}

std::u16string SupportImage(const char* fileName)
{
    return vytext::ToUtf16((std::filesystem::path(VY_TEST_SUPPORT_DIR) / "modules" / fileName).string());
}


// A test module image, loaded (and kept loaded) to read its counters.
TestModuleStatistics* Counters(const std::u16string& image)
{
    const platform::LibraryHandle handle = platform::LoadLibrary(image.c_str());
    const auto statistics = reinterpret_cast<TestModuleStatisticsFunction>(
        handle ? platform::FindExport(handle, kTestModuleStatisticsExport) : nullptr);
    return statistics ? statistics() : nullptr;
}

// A registry of the test's own with a recording logger.
class ModuleLinkingTest : public ::testing::Test {
protected:
    void SetUp() override { registry->storageProvider = provider; }
    void TearDown() override
    {
        registry.reset(); // releases the modules before their images may go
        provider->Release();
    }

    mttest::RecordingLogger logger;
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    std::unique_ptr<ModuleRegistry> registry = std::make_unique<ModuleRegistry>(u"VyModules", &logger);
};

TEST_F(ModuleLinkingTest, LinksAModuleOnceMapsItsExtensionsAndHoldsOneReference)
{
    const std::u16string image = SupportImage("VyVorbis.dll");
    TestModuleStatistics* counts = Counters(image);
    ASSERT_NE(counts, nullptr);
    const TestModuleStatistics before = *counts;
    IHSSModule* module = LinkModule(*registry, image.c_str());
    ASSERT_NE(module, nullptr);
    // The long extension: the module wrote all 255 units it was told of and a
    // terminator after them, into the registry's 256-unit buffer.
    for (const std::u16string& key : {Upper(image), std::u16string(u".ogg"), u"." + std::u16string(254, u'x')})
        EXPECT_EQ(LookupModule(*registry, key).second, module) << vytext::ToUtf8(key);
    EXPECT_EQ(counts->lastExtensionLength, 255u);
    EXPECT_EQ(counts->lastStorageProvider, provider);
    EXPECT_EQ(counts->extensionWalkCalls - before.extensionWalkCalls, 4) << "three entries and the S_FALSE";
    // Linking again, under any spelling of the name, finds the module without
    // loading, logging or adding a reference.
    EXPECT_EQ(LinkModule(*registry, SupportImage("vyvorbis.DLL").c_str()), module);
    EXPECT_EQ(counts->instanceRequests - before.instanceRequests, 1);
    EXPECT_EQ(logger.lines, (Lines{{kLogLevelNormal, u"VyModules: module linked:" + Upper(image)}}));
    EXPECT_EQ(mttest::References(module), 1u);
    // The bare file name finds the library already loaded, as GetModuleHandleW does.
    IHSSModule* bare = LinkModule(*registry, u"VyVorbis.dll");
    EXPECT_TRUE(bare && bare != module && LinkModule(*registry, u"vyvorbis.DLL") == bare);
    registry.reset();
    EXPECT_EQ(counts->modulesAlive, before.modulesAlive);
}

// A failure is logged the first time, or every time when linking loaded the
// library itself and freed it again for lacking the entry point; it leaves a
// null entry and each call tries again. Entry points that fail, or give a
// module together with a failure, release what they gave.
TEST_F(ModuleLinkingTest, FailuresAreLoggedAsTheTableSaysAndTriedAgain)
{
    const struct {
        const char* image;
        bool loadedBefore, loggedEveryTime;
        int modulesPerAttempt; // modules the entry point makes (-1: not a test image)
    } rows[] = {{"no-such-module.so", false, false, -1},      {"vytest_no_entry_point.so", false, true, -1},
                {"vytest_no_entry_point.so", true, false, -1}, {"vytest_entry_fails.so", false, false, 0},
                {"vytest_entry_fails_with_module.so", false, false, 1}, {"vytest_entry_s_false.so", false, false, 1},
                {"vytest_entry_null_module.so", false, false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.image << (row.loadedBefore ? ", loaded before" : ""));
        ModuleRegistry local(u"VyModules", &logger);
        logger.lines.clear();
        const std::u16string name = SupportImage(row.image);
        const platform::LibraryHandle mine = row.loadedBefore ? platform::LoadLibrary(name.c_str()) : nullptr;
        TestModuleStatistics* counts = row.modulesPerAttempt < 0 ? nullptr : Counters(name);
        const TestModuleStatistics before = counts ? *counts : TestModuleStatistics{};
        const Lines::value_type notLinked{kLogLevelImportant, u"VyModules: module not found/cannot linked:" + Upper(name)};
        for (int attempt = 1; attempt <= 3; ++attempt) {
            EXPECT_EQ(LinkModule(local, name.c_str()), nullptr);
            EXPECT_EQ(logger.lines, Lines(row.loggedEveryTime ? attempt : 1, notLinked));
            EXPECT_EQ(platform::FindLoadedLibrary(name.c_str()) != nullptr, row.loadedBefore || counts)
                << "freed when linking loaded it, else kept";
        }
        EXPECT_EQ(LookupModule(local, Upper(name)), std::pair(true, static_cast<IHSSModule*>(nullptr))) << "a null entry";
        EXPECT_TRUE(local.modules.empty());
        if (counts) { // entry points called each time; a module that came with a failure is released
            EXPECT_EQ(std::tuple(counts->instanceRequests - before.instanceRequests, counts->modulesMade - before.modulesMade,
                                 counts->modulesAlive - before.modulesAlive), std::tuple(3, 3 * row.modulesPerAttempt, 0));
        }
        if (mine)
            platform::FreeLibrary(mine);
    }
}

// By the extension after the last dot, even one before a separator; the
// module linked last takes a shared extension; a module whose walk fails is
// kept without any. An unknown extension is logged every time (how lookups
// fold case and what without a dot see SourceOpeningTest); nothing needs a logger.
TEST_F(ModuleLinkingTest, FindsTheModuleForAFileByItsExtension)
{
    IHSSModule* walkFails = LinkModule(*registry, SupportImage("vytest_walk_fails.so").c_str());
    IHSSModule* first = LinkModule(*registry, SupportImage("VyVorbis.dll").c_str());
    IHSSModule* second = LinkModule(*registry, SupportImage("vytest_ogg_second.so").c_str());
    ASSERT_TRUE(walkFails && first && second && first != second);
    EXPECT_EQ(registry->modules.size(), 3u);
    EXPECT_EQ(LinkModule(*registry, u".123"), nullptr); // a library-name key is no extension
    logger.lines.clear();
    for (const auto& [name, found] : {std::pair{u"dir.v2/a.b.ogg", second}, {u"x.xyz", second}, {u"x.oga", first},
                                      {u"a.b/music", nullptr}, {u"take.123", nullptr}, {u"a.b/music", nullptr}, {nullptr, nullptr}})
        EXPECT_EQ(FindModuleForFile(*registry, name), found) << (name ? vytext::ToUtf8(name) : "null");
    EXPECT_EQ(logger.lines, (Lines{{1, u"VyModules: unknown file exts:a.b/music"}, {1, u"VyModules: unknown file exts:take.123"},
                                   {1, u"VyModules: unknown file exts:a.b/music"}}));
    ModuleRegistry quiet(u"VyMultiTrack", nullptr);
    EXPECT_EQ(LinkModule(quiet, SupportImage("no-such-module.so").c_str()), nullptr);
    EXPECT_EQ(FindModuleForFile(quiet, u"a.none"), nullptr);
}

using SourceOpeningTest = mttest::MultiTrackTest;

// With the built-in decoders preferred, ".opus" and ".ogg" (in any case) go
// to them, and to the registry when they cannot open the file; otherwise
// straight to the registry, with the whole path. Track lists are never
// sources, even for a module that claims them. Without a registry only the
// built-in decoders open.
TEST_F(SourceOpeningTest, BuiltinDecodersFirstWhenPreferredThenTheRegistry)
{
    for (const auto& [name, channels] : {std::pair{u"music/a.opus", 2u}, {u"music/b.OPUS", 3u}, {u"opus-in.ogg", 1u}})
        provider->Add(name, testaudio::EncodeOpus(testaudio::Synthesize(testaudio::DistinctTones(channels, 960)), channels, 48000));
    provider->Add(u"music/c.Ogg", testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(1, 441, 44100)), 1, 44100));
    for (const char16_t* key : {u".ogg", u".mtrk", u".mchx"})
        SetModuleEntry(*TheProcessState().registry, key, module);
    for (const char16_t* name : {u"music/c.Ogg", u"fake-only.ogg", u"dir/x.fake", u"bad.fake", u"a.mtrk", u"b.MCHX"})
        AddSource(name);
    module->failing.insert(u"bad.fake");
    const struct {
        const char16_t* path;
        bool preferBuiltin;
        int opens; // 0: nothing, 1: the module, n > 1: a built-in decoder with n - 1 channels
    } rows[] = {
        {u"music/a.opus", true, 3}, {u"music/b.OPUS", true, 4}, {u"music/c.Ogg", true, 2}, {u"music/c.Ogg", false, 1},
        {u"music/a.opus", false, 0}, {u"fake-only.ogg", true, 1}, {u"opus-in.ogg", true, 0}, {u"dir/x.fake", true, 1},
        {u"dir/x.fake", false, 1}, {u"missing.fake", true, 0}, {u"no-extension", false, 0}, {u"bad.fake", true, 0},
        {u"a.mtrk", false, 0}, {u"b.MCHX", true, 0},
    };
    const auto open = [&](const char16_t* path, bool preferBuiltin) {
        IHSSWaveDecoder* decoder = OpenSource(path, preferBuiltin);
        HSSWaveFormat format{};
        const int opens = decoder == nullptr ? 0 : decoder == module->Opened(path) ? 1
                          : decoder->GetFormat(&format) == S_OK ? static_cast<int>(format.channelCount + 1) : -1;
        EXPECT_EQ(decoder ? decoder->Release() : 0u, opens == 1 ? 1u : 0u) << "the module keeps its own";
        return opens;
    };
    for (const auto& row : rows)
        EXPECT_EQ(open(row.path, row.preferBuiltin), row.opens) << vytext::ToUtf8(row.path) << ", " << row.preferBuiltin;
    EXPECT_EQ(mttest::References(module->Opened(u"bad.fake")), 1u) << "handed back with a failure: released";
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"music/c.Ogg", u"fake-only.ogg", u"opus-in.ogg", u"dir/x.fake",
                                                             u"dir/x.fake", u"missing.fake", u"bad.fake"}));
    EXPECT_EQ(logger.lines, (Lines{{1, u"VyModules: unknown file exts:music/a.opus"}}));
    TheProcessState().DestroyRegistry();
    EXPECT_EQ(std::tuple(open(u"dir/x.fake", true), open(u"music/a.opus", false), open(u"music/a.opus", true)),
              std::tuple(0, 0, 3));
    EXPECT_TRUE(ChooseDecoders(u"fake.dll", true)) << "a library field links nothing without a registry";
}

} // namespace
