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

#include <host/MemoryStorageProvider.h>
#include <host/WavWriter.h>

#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::u16string U16(const fs::path& path)
{
    return vytext::ToUtf16(path.string());
}

std::u16string Upper(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

fs::path SupportImage(const char* fileName)
{
    return fs::path(VY_TEST_SUPPORT_DIR) / "modules" / fileName;
}

class RecordingLogger final : public BasicHSSLogger {
public:
    struct Line {
        std::int32_t level;
        std::u16string text;
        bool operator==(const Line&) const = default;
    };
    void Log(std::int32_t level, const char16_t* text) override
    {
        lines.push_back({level, text ? text : u"<null>"});
    }
    std::vector<Line> lines;
};

void PrintTo(const RecordingLogger::Line& line, std::ostream* out)
{
    *out << "[" << line.level << "] " << vytext::ToUtf8(line.text);
}

// A test module image, loaded to read its counters. The reference is never
// dropped: a registry that found the image already loaded holds modules of
// it without a reference of its own (as GetModuleHandleW adds none), and
// the fixture's registry goes only after the test body.
class TestImage {
public:
    explicit TestImage(const char* fileName) : path_(SupportImage(fileName))
    {
        handle_ = platform::LoadLibrary(U16(path_).c_str());
        if (handle_) {
            const auto statistics = reinterpret_cast<TestModuleStatisticsFunction>(
                platform::FindExport(handle_, kTestModuleStatisticsExport));
            if (statistics)
                statistics_ = statistics();
        }
    }
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;

    [[nodiscard]] bool Loaded() const { return statistics_ != nullptr; }
    [[nodiscard]] const TestModuleStatistics& Statistics() const { return *statistics_; }
    [[nodiscard]] std::u16string Name() const { return U16(path_); }

private:
    fs::path path_;
    platform::LibraryHandle handle_ = nullptr;
    TestModuleStatistics* statistics_ = nullptr;
};

class ModuleLinkingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider = host::MemoryStorageProvider::Create();
        registry = std::make_unique<ModuleRegistry>(u"VyModules", &logger);
        registry->storageProvider = provider;
    }
    void TearDown() override
    {
        registry.reset(); // releases the modules before their images may go
        provider->Release();
    }

    [[nodiscard]] std::vector<RecordingLogger::Line> Lines() const { return logger.lines; }
    static RecordingLogger::Line Linked(const std::u16string& name)
    {
        return {kLogLevelNormal, u"VyModules: module linked:" + Upper(name)};
    }
    static RecordingLogger::Line NotLinked(const std::u16string& name)
    {
        return {kLogLevelImportant, u"VyModules: module not found/cannot linked:" + Upper(name)};
    }
    static RecordingLogger::Line UnknownExtension(const std::u16string& fileName)
    {
        return {kLogLevelImportant, u"VyModules: unknown file exts:" + fileName};
    }

    RecordingLogger logger;
    host::MemoryStorageProvider* provider = nullptr;
    std::unique_ptr<ModuleRegistry> registry;
};

// A module living in the test itself, for RegisterModule on its own.
class FakeModule final : public IHSSModule {
public:
    FakeModule(std::vector<std::u16string> extensions, HRESULT walkEnd)
        : extensions_(std::move(extensions)), walkEnd_(walkEnd)
    {
    }
    HRESULT VY_STDCALL QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG VY_STDCALL AddRef() override { return ++references; }
    ULONG VY_STDCALL Release() override { return --references; } // owned by the test
    HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                              char16_t* extension, std::uint32_t length) override
    {
        if (index >= extensions_.size())
            return walkEnd_;
        shortName[0] = 0;
        std::uint32_t n = 0;
        for (; n + 1 < length && n < extensions_[index].size(); ++n)
            extension[n] = extensions_[index][n];
        extension[n] = 0;
        return S_OK;
    }
    HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t*, IHSSWaveDecoder** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    ULONG references = 1;

private:
    std::vector<std::u16string> extensions_;
    HRESULT walkEnd_;
};

// --- the map -----------------------------------------------------------------

TEST_F(ModuleLinkingTest, LookupTellsAKnownNullEntryFromAMissingOne)
{
    FakeModule module({}, S_FALSE);
    EXPECT_EQ(LookupModule(*registry, u"KEY"),
              std::make_pair(false, static_cast<IHSSModule*>(nullptr)));
    SetModuleEntry(*registry, u"KEY", nullptr);
    EXPECT_EQ(LookupModule(*registry, u"KEY"),
              std::make_pair(true, static_cast<IHSSModule*>(nullptr)));
    SetModuleEntry(*registry, u"KEY", &module);
    EXPECT_EQ(LookupModule(*registry, u"KEY"),
              std::make_pair(true, static_cast<IHSSModule*>(&module)));
    EXPECT_EQ(LookupModule(*registry, u"key").first, false) << "keys are compared exactly";
    EXPECT_EQ(registry->moduleByName.size(), 1u);
}

TEST_F(ModuleLinkingTest, RegisteringKeepsTheModuleAndMapsItsExtensionsLowerCased)
{
    FakeModule fake({u".OGG", u".Mp3", u".ÄB"}, S_FALSE);
    FakeModule* module = &fake;
    EXPECT_EQ(RegisterModule(*registry, u"LIB.DLL", module), S_FALSE);
    ASSERT_EQ(registry->modules, std::vector<IHSSModule*>{module});
    EXPECT_EQ(LookupModule(*registry, u"LIB.DLL").second, module);
    EXPECT_EQ(LookupModule(*registry, u".ogg").second, module);
    EXPECT_EQ(LookupModule(*registry, u".mp3").second, module);
    EXPECT_EQ(LookupModule(*registry, u".Äb").second, module) << "only ASCII letters change";
    EXPECT_EQ(registry->moduleByName.size(), 4u);
    EXPECT_EQ(module->references, 1u) << "the caller's reference is taken over, none added";
    registry->modules.clear(); // the test owns the fake
    EXPECT_EQ(RegisterModule(*registry, u"NULL", nullptr), E_POINTER);
    EXPECT_TRUE(registry->modules.empty());
}

TEST_F(ModuleLinkingTest, TheWalkEndsWithTheFirstNonZeroCode)
{
    FakeModule failing({u".a"}, E_FAIL);
    EXPECT_EQ(RegisterModule(*registry, u"F", &failing), E_FAIL);
    FakeModule notImplemented({}, E_NOTIMPL);
    EXPECT_EQ(RegisterModule(*registry, u"N", &notImplemented), E_NOTIMPL);
    EXPECT_EQ(LookupModule(*registry, u".a").second, &failing);
    registry->modules.clear();
}

// --- linking -----------------------------------------------------------------

TEST_F(ModuleLinkingTest, LinksAModuleAndMapsItsExtensions)
{
    TestImage image("VyVorbis.dll");
    ASSERT_TRUE(image.Loaded());
    const TestModuleStatistics before = image.Statistics();

    IHSSModule* module = LinkModule(*registry, image.Name().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Lines(), std::vector{Linked(image.Name())});
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>{module});
    EXPECT_EQ(LookupModule(*registry, Upper(image.Name())).second, module);
    EXPECT_EQ(LookupModule(*registry, u".ogg").second, module);
    EXPECT_EQ(LookupModule(*registry, u".oga").second, module);

    // The long extension: the module wrote all 255 units it was told of and
    // a terminator after them, into the registry's 256-unit buffer.
    const std::u16string longExtension = u"." + std::u16string(254, u'x');
    EXPECT_EQ(LookupModule(*registry, longExtension).second, module);
    EXPECT_EQ(registry->moduleByName.size(), 4u);

    const TestModuleStatistics& after = image.Statistics();
    EXPECT_EQ(after.instanceRequests - before.instanceRequests, 1);
    EXPECT_EQ(after.modulesAlive - before.modulesAlive, 1);
    EXPECT_EQ(after.lastStorageProvider, provider);
    EXPECT_EQ(after.lastConfigStream, nullptr);
    EXPECT_EQ(after.lastMainWindow, nullptr);
    EXPECT_EQ(after.lastExtensionLength, 255u);
    EXPECT_EQ(after.extensionWalkCalls - before.extensionWalkCalls, 4)
        << "three entries and the S_FALSE";

    EXPECT_EQ(FindModuleForFile(*registry, (u"a." + std::u16string(254, u'X')).c_str()), module);
}

TEST_F(ModuleLinkingTest, TheRegistryHoldsOneReferencePerModuleAndReleasesItAtTheEnd)
{
    TestImage image("VyVorbis.dll");
    ASSERT_TRUE(image.Loaded());
    const std::int32_t alive = image.Statistics().modulesAlive;
    IHSSModule* module = LinkModule(*registry, image.Name().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(image.Statistics().modulesAlive, alive + 1);
    EXPECT_EQ(module->AddRef(), 2u) << "the registry's reference and this one";
    EXPECT_EQ(module->Release(), 1u);
    EXPECT_EQ(LinkModule(*registry, image.Name().c_str()), module);
    EXPECT_EQ(registry->modules.size(), 1u);
    EXPECT_EQ(module->AddRef(), 2u) << "linking again adds no reference";
    EXPECT_EQ(module->Release(), 1u);

    registry.reset();
    EXPECT_EQ(image.Statistics().modulesAlive, alive);
}

TEST_F(ModuleLinkingTest, OneKeyForEveryLetterCaseOfAName)
{
    TestImage image("VyVorbis.dll");
    ASSERT_TRUE(image.Loaded());
    const std::int32_t requests = image.Statistics().instanceRequests;
    const fs::path folder = SupportImage("VyVorbis.dll").parent_path();

    IHSSModule* first = LinkModule(*registry, U16(folder / "VyVorbis.dll").c_str());
    ASSERT_NE(first, nullptr);
    // No file has this spelling on a case-sensitive file system: the key
    // alone finds the module, and nothing is loaded.
    ASSERT_FALSE(fs::exists(folder / "vyvorbis.DLL"));
    EXPECT_EQ(LinkModule(*registry, U16(folder / "vyvorbis.DLL").c_str()), first);
    EXPECT_EQ(image.Statistics().instanceRequests, requests + 1);
    EXPECT_EQ(Lines(), std::vector{Linked(U16(folder / "VyVorbis.dll"))})
        << "the second call logs nothing";
    EXPECT_EQ(registry->modules.size(), 1u);
}

TEST_F(ModuleLinkingTest, ABareNameLinksALibraryAlreadyInTheProcess)
{
    // The image is loaded (by TestImage); the loader then finds it by its
    // bare file name (its soname), as GetModuleHandleW finds a loaded DLL.
    TestImage image("VyVorbis.dll");
    ASSERT_TRUE(image.Loaded());
    IHSSModule* module = LinkModule(*registry, u"VyVorbis.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LinkModule(*registry, u"vyvorbis.DLL"), module);
    EXPECT_EQ(Lines(), std::vector({RecordingLogger::Line{
                           kLogLevelNormal, u"VyModules: module linked:VYVORBIS.DLL"}}));
}

TEST_F(ModuleLinkingTest, AMissingLibraryIsReportedOnceAndTriedAgainEachTime)
{
    const std::u16string name = U16(SupportImage("no-such-module.so"));
    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    EXPECT_EQ(Lines(), std::vector{NotLinked(name)});
    EXPECT_EQ(LookupModule(*registry, Upper(name)),
              std::make_pair(true, static_cast<IHSSModule*>(nullptr)));
    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    EXPECT_EQ(Lines(), std::vector{NotLinked(name)}) << "the second failure is silent";
    EXPECT_TRUE(registry->modules.empty());
}

TEST_F(ModuleLinkingTest, ALibraryThatAppearsLaterIsLinkedThen)
{
    const fs::path folder =
        fs::temp_directory_path() / ("vy-linking-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    const fs::path late = folder / "late_module.so";
    const std::u16string name = U16(late);

    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    fs::copy_file(SupportImage("vytest_ogg_second.so"), late);
    IHSSModule* module = LinkModule(*registry, name.c_str());
    EXPECT_NE(module, nullptr) << "a remembered failure does not stop a later attempt";
    EXPECT_EQ(Lines(), std::vector({NotLinked(name), Linked(name)}));
    EXPECT_EQ(LookupModule(*registry, Upper(name)).second, module);
    EXPECT_EQ(FindModuleForFile(*registry, u"x.xyz"), module);

    std::error_code ignored;
    fs::remove_all(folder, ignored); // the loaded image stays mapped
}

TEST_F(ModuleLinkingTest, ALibraryItLoadedWithoutTheEntryPointIsFreedAndReportedEveryTime)
{
    const std::u16string name = U16(SupportImage("vytest_no_entry_point.so"));
    ASSERT_EQ(platform::FindLoadedLibrary(name.c_str()), nullptr);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
        EXPECT_EQ(platform::FindLoadedLibrary(name.c_str()), nullptr) << "freed again";
        EXPECT_EQ(Lines(), std::vector<RecordingLogger::Line>(attempt, NotLinked(name)));
    }
    EXPECT_EQ(LookupModule(*registry, Upper(name)),
              std::make_pair(true, static_cast<IHSSModule*>(nullptr)));
}

TEST_F(ModuleLinkingTest, ALibraryAlreadyLoadedWithoutTheEntryPointIsReportedOnceAndKept)
{
    const std::u16string name = U16(SupportImage("vytest_no_entry_point.so"));
    platform::LibraryHandle mine = platform::LoadLibrary(name.c_str());
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    EXPECT_EQ(LinkModule(*registry, name.c_str()), nullptr);
    EXPECT_EQ(Lines(), std::vector{NotLinked(name)});
    EXPECT_EQ(platform::FindLoadedLibrary(name.c_str()), mine)
        << "not freed: linking did not load it";
    platform::FreeLibrary(mine);
}

struct FailingEntry {
    const char* image;
    bool givesModule;
};

void PrintTo(const FailingEntry& entry, std::ostream* out)
{
    *out << entry.image;
}

class ModuleLinkingFailingEntry : public ModuleLinkingTest,
                                  public ::testing::WithParamInterface<FailingEntry> {};

TEST_P(ModuleLinkingFailingEntry, IsReportedOnceAndTriedAgainEachTime)
{
    TestImage image(GetParam().image);
    ASSERT_TRUE(image.Loaded());
    const TestModuleStatistics before = image.Statistics();
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(LinkModule(*registry, image.Name().c_str()), nullptr);
        EXPECT_EQ(image.Statistics().modulesAlive, before.modulesAlive)
            << "a module that came back with a failure is released";
    }
    EXPECT_EQ(image.Statistics().instanceRequests, before.instanceRequests + 3);
    EXPECT_EQ(image.Statistics().modulesMade - before.modulesMade, GetParam().givesModule ? 3 : 0);
    EXPECT_EQ(Lines(), std::vector{NotLinked(image.Name())});
    EXPECT_TRUE(registry->modules.empty());
    EXPECT_EQ(LookupModule(*registry, Upper(image.Name())),
              std::make_pair(true, static_cast<IHSSModule*>(nullptr)));
}

INSTANTIATE_TEST_SUITE_P(Images, ModuleLinkingFailingEntry,
                         ::testing::Values(FailingEntry{"vytest_entry_fails.so", false},
                                           FailingEntry{"vytest_entry_fails_with_module.so", true},
                                           FailingEntry{"vytest_entry_s_false.so", true},
                                           FailingEntry{"vytest_entry_null_module.so", false}),
                         [](const ::testing::TestParamInfo<FailingEntry>& info) {
                             std::string name = info.param.image;
                             return name.substr(0, name.find('.'));
                         });

TEST_F(ModuleLinkingTest, AModuleWhoseWalkFailsIsKeptWithoutExtensions)
{
    TestImage image("vytest_walk_fails.so");
    ASSERT_TRUE(image.Loaded());
    const std::int32_t walks = image.Statistics().extensionWalkCalls;
    IHSSModule* module = LinkModule(*registry, image.Name().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Lines(), std::vector{Linked(image.Name())});
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>{module});
    EXPECT_EQ(registry->moduleByName.size(), 1u);
    EXPECT_EQ(LookupModule(*registry, Upper(image.Name())).second, module);
    EXPECT_EQ(image.Statistics().extensionWalkCalls, walks + 1);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.ogg"), nullptr);
}

TEST_F(ModuleLinkingTest, TheModuleLinkedLastTakesASharedExtension)
{
    TestImage first("VyVorbis.dll");
    TestImage second("vytest_ogg_second.so");
    ASSERT_TRUE(first.Loaded() && second.Loaded());
    IHSSModule* a = LinkModule(*registry, first.Name().c_str());
    IHSSModule* b = LinkModule(*registry, second.Name().c_str());
    ASSERT_TRUE(a && b);
    ASSERT_NE(a, b);
    EXPECT_EQ(FindModuleForFile(*registry, u"Song.OGG"), b);
    EXPECT_EQ(FindModuleForFile(*registry, u"music/song.ogg"), b);
    EXPECT_EQ(FindModuleForFile(*registry, u"x.oga"), a)
        << "what only the first reports stays with it";
    EXPECT_EQ(FindModuleForFile(*registry, u"x.xyz"), b);
    EXPECT_EQ(registry->modules, std::vector<IHSSModule*>({a, b}));

    // The other order in another registry.
    ModuleRegistry other(u"VyModules", nullptr);
    IHSSModule* b2 = LinkModule(other, second.Name().c_str());
    IHSSModule* a2 = LinkModule(other, first.Name().c_str());
    ASSERT_TRUE(a2 && b2);
    EXPECT_EQ(FindModuleForFile(other, u"Song.OGG"), a2);
    EXPECT_EQ(FindModuleForFile(other, u"x.xyz"), b2);
}

TEST_F(ModuleLinkingTest, NullNameLinksNothing)
{
    EXPECT_EQ(LinkModule(*registry, nullptr), nullptr);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(registry->moduleByName.empty());
}

TEST_F(ModuleLinkingTest, LinesBeginWithTheRegistrysName)
{
    ModuleRegistry scripted(u"VyMultiTrack", &logger);
    TestImage image("vytest_ogg_second.so");
    ASSERT_NE(LinkModule(scripted, image.Name().c_str()), nullptr);
    EXPECT_EQ(FindModuleForFile(scripted, u"a.none"), nullptr);
    EXPECT_EQ(Lines(),
              std::vector(
                  {RecordingLogger::Line{0, u"VyMultiTrack: module linked:" + Upper(image.Name())},
                   RecordingLogger::Line{1, u"VyMultiTrack: unknown file exts:a.none"}}));
}

TEST_F(ModuleLinkingTest, WithoutALoggerTheResultsAreTheSame)
{
    registry->logger = nullptr;
    const std::u16string missing = U16(SupportImage("no-such-module.so"));
    EXPECT_EQ(LinkModule(*registry, missing.c_str()), nullptr);
    EXPECT_EQ(LookupModule(*registry, Upper(missing)).first, true);
    const std::u16string noEntry = U16(SupportImage("vytest_no_entry_point.so"));
    EXPECT_EQ(LinkModule(*registry, noEntry.c_str()), nullptr);
    TestImage image("vytest_ogg_second.so");
    IHSSModule* module = LinkModule(*registry, image.Name().c_str());
    EXPECT_NE(module, nullptr);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.ogg"), module);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.unknown"), nullptr);
    EXPECT_TRUE(Lines().empty());
}

// --- finding the module for a file -------------------------------------------

TEST_F(ModuleLinkingTest, FindsByTheLowerCasedExtensionAfterTheLastDot)
{
    TestImage image("vytest_ogg_second.so");
    IHSSModule* module = LinkModule(*registry, image.Name().c_str());
    ASSERT_NE(module, nullptr);
    logger.lines.clear();

    EXPECT_EQ(FindModuleForFile(*registry, u"Song.OGG"), module);
    EXPECT_EQ(FindModuleForFile(*registry, u"dir.v2/a.b.ogg"), module);
    EXPECT_EQ(FindModuleForFile(*registry, u".ogg"), module);
    EXPECT_TRUE(Lines().empty());

    EXPECT_EQ(FindModuleForFile(*registry, u"a.b/music"), nullptr) << "'.b/music' is looked up";
    EXPECT_EQ(FindModuleForFile(*registry, u"Song.OGG.bak"), nullptr);
    EXPECT_EQ(FindModuleForFile(*registry, u"a.b/music"), nullptr);
    EXPECT_EQ(Lines(),
              std::vector({UnknownExtension(u"a.b/music"), UnknownExtension(u"Song.OGG.bak"),
                           UnknownExtension(u"a.b/music")}))
        << "every time, with the name as passed";
}

TEST_F(ModuleLinkingTest, ANameWithoutADotOrNoNameFindsNothingSilently)
{
    TestImage image("vytest_ogg_second.so");
    ASSERT_NE(LinkModule(*registry, image.Name().c_str()), nullptr);
    logger.lines.clear();
    EXPECT_EQ(FindModuleForFile(*registry, u"music/ogg"), nullptr);
    EXPECT_EQ(FindModuleForFile(*registry, u""), nullptr);
    EXPECT_EQ(FindModuleForFile(*registry, nullptr), nullptr);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ModuleLinkingTest, ALibraryNameKeyIsNotAnExtension)
{
    // A failed link leaves a null entry; a file whose extension equals such
    // a key is still unknown (both families share one map).
    EXPECT_EQ(LinkModule(*registry, u".123"), nullptr);
    logger.lines.clear();
    EXPECT_EQ(LookupModule(*registry, u".123"),
              std::make_pair(true, static_cast<IHSSModule*>(nullptr)));
    EXPECT_EQ(FindModuleForFile(*registry, u"take.123"), nullptr);
    EXPECT_EQ(Lines(), std::vector{UnknownExtension(u"take.123")});
}

// --- the WAV module through linking ------------------------------------------

TEST_F(ModuleLinkingTest, TheWavModuleDecodesThroughTheRegistrysProvider)
{
    const std::u16string name = U16(VY_WAV_MODULE_PATH);
    IHSSModule* wav = LinkModule(*registry, name.c_str());
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(Lines(), std::vector{Linked(name)});
    EXPECT_EQ(LookupModule(*registry, u".wav").second, wav);

    const std::vector<std::int16_t> samples = {1, -1, 300, -300, 32767, -32768};
    provider->Add(u"music/Theme.WAV", host::WriteWav16(samples, 2, 44100));
    IHSSModule* found = FindModuleForFile(*registry, u"music/Theme.WAV");
    ASSERT_EQ(found, wav);
    IHSSWaveDecoder* decoder = nullptr;
    ASSERT_EQ(found->OpenMediaInstance(u"music/Theme.WAV", &decoder), S_OK);
    ASSERT_NE(decoder, nullptr);
    HSSWaveFormat format{};
    ASSERT_EQ(decoder->GetFormat(&format), S_OK);
    EXPECT_EQ(format.channelCount, 2u);
    EXPECT_EQ(format.totalSamples, 3u);
    std::int16_t buffer[8] = {};
    std::uint32_t rendered = 0;
    std::uint32_t status = 1;
    ASSERT_EQ(decoder->Render(buffer, 4, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 3u);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(std::vector<std::int16_t>(buffer, buffer + 6), samples);
    decoder->Release();
}

} // namespace
