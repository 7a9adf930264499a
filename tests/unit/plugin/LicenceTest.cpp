#include "LinkedRuntimeTest.h"

#include <platform/EmbeddedResources.h>
#include <plugin/LicenceNotices.h>
#include <plugin/ScriptHSSLogger.h>
#include <resources/PluginResources.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using LicenceTest = LinkedRuntimeTest;

std::u16string Widened(const unsigned char* data, std::size_t size)
{
    return std::u16string(data, data + size);
}

// A resource table of the test's own, registered for a module handle of its
// own for the test's lifetime.
class OwnResources {
public:
    OwnResources(std::vector<platform::EmbeddedResource> resources,
                 std::vector<platform::EmbeddedString> strings)
        : resources_(std::move(resources)),
          strings_(std::move(strings)), table_{resources_.data(), resources_.size(),
                                               strings_.data(), strings_.size()}
    {
        platform::RegisterEmbeddedResources(Module(), &table_);
    }
    ~OwnResources() { platform::RegisterEmbeddedResources(Module(), nullptr); }

    platform::LibraryHandle Module() { return &table_; }

private:
    std::vector<platform::EmbeddedResource> resources_;
    std::vector<platform::EmbeddedString> strings_;
    platform::EmbeddedResourceTable table_;
};

platform::EmbeddedResource Raw(const char* name, const char* text)
{
    return {name, platform::kResourceTypeRcData, reinterpret_cast<const unsigned char*>(text),
            static_cast<std::uint32_t>(std::strlen(text))};
}

const std::vector<platform::EmbeddedString> kTitles = {
    {1000, u"First:"}, {1001, u"Second:"}, {1002, u"Third:"}, {1003, u"Fourth:"}};

TEST_F(LicenceTest, TheThreeLicencesAreLoggedInOrderUnderTheirTitles)
{
    ShowLicenceNotices();
    const std::vector<std::u16string> important = runtime.LogTexts(1);
    ASSERT_EQ(important.size(), 3u);
    EXPECT_EQ(runtime.Log().size(), 3u) << "nothing else is logged";

    const platform::EmbeddedResourceTable& table = PluginResourceTable();
    const std::u16string titles[] = {u"libogg, libvorbis license:\n", u"libopus license:\n",
                                     u"opusfile license:\n"};
    const char* names[] = {"LICENSE0", "LICENSE1", "LICENSE2"};
    for (int i = 0; i < 3; ++i) {
        const platform::EmbeddedResource* entry = nullptr;
        for (std::size_t r = 0; r < table.resourceCount; ++r)
            if (std::strcmp(table.resources[r].name, names[i]) == 0)
                entry = &table.resources[r];
        ASSERT_NE(entry, nullptr) << names[i];
        EXPECT_EQ(important[i], titles[i] + Widened(entry->data, entry->size)) << names[i];
    }
    EXPECT_NE(important[0].find(u"Xiph.Org"), std::u16string::npos);
    EXPECT_NE(important[1].find(u"Skype Limited"), std::u16string::npos);
    EXPECT_NE(important[2].find(u"SUCH DAMAGE.\n"), std::u16string::npos);
}

TEST_F(LicenceTest, TheWalkStartsAtZeroOrOneAndFallsBackToAnUnnumberedLicence)
{
    {
        OwnResources single({Raw("LICENSE", "only text\n")}, kTitles);
        ShowLicenceNotices(single.Module());
        EXPECT_EQ(runtime.LogTexts(1), std::vector<std::u16string>{u"First:\nonly text\n"});
    }
    runtime.ClearLog();
    {
        OwnResources fromOne(
            {Raw("LICENSE1", "one"), Raw("LICENSE2", "two"), Raw("LICENSE", "never")}, kTitles);
        ShowLicenceNotices(fromOne.Module());
        EXPECT_EQ(runtime.LogTexts(1),
                  (std::vector<std::u16string>{u"Second:\none", u"Third:\ntwo"}));
    }
    runtime.ClearLog();
    {
        OwnResources gap({Raw("LICENSE0", "zero"), Raw("LICENSE2", "two")}, kTitles);
        ShowLicenceNotices(gap.Module());
        EXPECT_EQ(runtime.LogTexts(1), std::vector<std::u16string>{u"First:\nzero"})
            << "stops at the first gap";
    }
    runtime.ClearLog();
    {
        OwnResources none({}, kTitles);
        ShowLicenceNotices(none.Module());
        EXPECT_TRUE(runtime.Log().empty());
    }
}

TEST_F(LicenceTest, ALicenceIsItsTextWithUnixLineEndsUnderItsTitle)
{
    std::u16string longTitle(300, u'T');
    OwnResources resources({Raw("CRLF", "a\r\nb\r\n\r\nc\rd"),
                            Raw("EMPTY", ""),
                            Raw("lower", "found"),
                            {"DATA", 23, reinterpret_cast<const unsigned char*>("other type"), 10}},
                           {{1000, u"Title:"}, {1001, longTitle.c_str()}});

    EXPECT_TRUE(ShowLicence(resources.Module(), "CRLF", 1000));
    EXPECT_TRUE(ShowLicence(resources.Module(), "crlf", 1002))
        << "names match without regard to case";
    EXPECT_TRUE(ShowLicence(resources.Module(), "LOWER", 0));
    EXPECT_TRUE(ShowLicence(resources.Module(), "LOWER", 1001));
    EXPECT_TRUE(ShowLicence(resources.Module(), "EMPTY", 1000)) << "found and read, though empty";
    EXPECT_FALSE(ShowLicence(resources.Module(), "MISSING", 1000));
    EXPECT_FALSE(ShowLicence(resources.Module(), "DATA", 1000))
        << "only raw-data resources are licences";
    EXPECT_FALSE(ShowLicence(resources.Module(), nullptr, 1000));

    const std::vector<std::u16string> expected = {
        u"Title:\na\nb\n\nc\rd",
        u"a\nb\n\nc\rd",                        // no string 1002: untitled
        u"found",                               // title id 0: untitled
        std::u16string(255, u'T') + u"\nfound", // at most 255 title characters
    };
    EXPECT_EQ(runtime.LogTexts(1), expected);
    EXPECT_EQ(runtime.Log().size(), expected.size());
}

TEST_F(LicenceTest, ResourceCallsOnAModuleWithoutResources)
{
    int unregistered = 0;
    EXPECT_EQ(platform::FindResource(&unregistered, "LICENSE0", platform::kResourceTypeRcData),
              nullptr);
    EXPECT_EQ(platform::SizeofResource(&unregistered, nullptr), 0u);
    EXPECT_EQ(platform::LoadResource(&unregistered, nullptr), nullptr);
    EXPECT_EQ(platform::LockResource(nullptr), nullptr);
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(platform::LoadString(&unregistered, 1000, buffer, 4), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(ShowLicence(&unregistered, "LICENSE0", 1000));

    OwnResources titles({}, kTitles);
    EXPECT_EQ(platform::LoadString(titles.Module(), 1001, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"Sec");
    EXPECT_EQ(platform::LoadString(titles.Module(), 1001, buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(platform::LoadString(titles.Module(), 1001, nullptr, 4), 0);
}

TEST_F(LicenceTest, ScriptLoggerWritesLevelsZeroAndOneOnly)
{
    BasicHSSLogger& logger = ScriptLogger();
    EXPECT_EQ(&logger, &ScriptLogger());
    logger.Log(kLogLevelNormal, u"ordinary");
    logger.Log(kLogLevelImportant, u"important");
    logger.Log(2, u"level two");
    logger.Log(-1, u"level minus one");
    logger.Log(kLogLevelNormal, nullptr);
    ASSERT_EQ(runtime.Log().size(), 3u);
    EXPECT_EQ(runtime.Log()[0].text, u"ordinary");
    EXPECT_EQ(runtime.Log()[0].importance, 0);
    EXPECT_EQ(runtime.Log()[1].text, u"important");
    EXPECT_EQ(runtime.Log()[1].importance, 1);
    EXPECT_EQ(runtime.Log()[2].text, u"");
}

} // namespace
