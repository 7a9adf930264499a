// The licence notices V2Link logs, and the script logger.
#include "LinkedRuntimeTest.h"

#include <platform/EmbeddedResources.h>
#include <plugin/LicenceNotices.h>
#include <plugin/ScriptHSSLogger.h>
#include <resources/PluginResources.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using LicenceTest = LinkedRuntimeTest;
using Texts = std::vector<std::u16string>;

// A resource table registered for a module handle of its own while it lives.
struct OwnResources {
    std::vector<platform::EmbeddedResource> resources;
    std::vector<platform::EmbeddedString> strings{{1000, u"First:"}, {1001, u"Second:"}, {1002, u"Third:"}};
    platform::EmbeddedResourceTable table{resources.data(), resources.size(), strings.data(), strings.size()};
    bool registered = (platform::RegisterEmbeddedResources(&table, &table), true);
    ~OwnResources() { platform::RegisterEmbeddedResources(&table, nullptr); }
};

platform::EmbeddedResource Raw(const char* name, const char* text)
{
    return {name, platform::kResourceTypeRcData, reinterpret_cast<const unsigned char*>(text),
            static_cast<std::uint32_t>(std::strlen(text))};
}

TEST_F(LicenceTest, ThePluginsThreeLicencesAreLoggedInOrderUnderTheirTitles)
{
    ShowLicenceNotices();
    const Texts logged = runtime.LogTexts(1);
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(runtime.Log().size(), 3u) << "nothing else is logged";
    const platform::EmbeddedResourceTable& table = PluginResourceTable();
    const char16_t* const titles[] = {u"libogg, libvorbis license:\n", u"libopus license:\n", u"opusfile license:\n"};
    const char16_t* const owners[] = {u"Xiph.Org", u"Skype Limited", u"SUCH DAMAGE.\n"};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "LICENSE" + std::to_string(i);
        const auto* entry = std::find_if(table.resources, table.resources + table.resourceCount,
                                         [&](const auto& r) { return r.name == name; });
        ASSERT_NE(entry, table.resources + table.resourceCount) << name;
        EXPECT_EQ(logged[i], titles[i] + std::u16string(entry->data, entry->data + entry->size)) << name;
        EXPECT_NE(logged[i].find(owners[i]), std::u16string::npos) << name;
    }
}

// LICENSE0, LICENSE1, ... under titles 1000, 1001, ... until the first gap
// after LICENSE0; LICENSE only when none of them is there.
TEST_F(LicenceTest, TheWalkStartsAtZeroOrOneAndFallsBackToAnUnnumberedLicence)
{
    const std::pair<std::vector<platform::EmbeddedResource>, Texts> rows[] = {
        {{Raw("LICENSE", "only text\n")}, {u"First:\nonly text\n"}},
        {{Raw("LICENSE1", "one"), Raw("LICENSE2", "two"), Raw("LICENSE", "never")}, {u"Second:\none", u"Third:\ntwo"}},
        {{Raw("LICENSE0", "zero"), Raw("LICENSE2", "two")}, {u"First:\nzero"}},
        {{}, {}},
    };
    for (const auto& [resources, expected] : rows) {
        runtime.ClearLog();
        OwnResources own{resources};
        ShowLicenceNotices(&own.table);
        EXPECT_EQ(runtime.LogTexts(-1), expected);
    }
}

// The text with Unix line ends under its title (at most 255 characters),
// for a raw-data resource found by name in any case; an empty text logs
// nothing but counts as found.
TEST_F(LicenceTest, ALicenceIsItsTextWithUnixLineEndsUnderItsTitle)
{
    const std::u16string longTitle(300, u'T');
    OwnResources own{{Raw("CRLF", "a\r\nb\r\n\r\nc\rd"), Raw("EMPTY", ""), Raw("lower", "found"),
                      {"DATA", 23, reinterpret_cast<const unsigned char*>("other type"), 10}},
                     {{1000, u"Title:"}, {1001, longTitle.c_str()}}};
    int unregistered = 0;
    // Module, resource name, title ID; whether it is found and what is logged.
    const std::tuple<platform::LibraryHandle, const char*, int, bool, std::u16string> rows[] = {
        {&own.table, "CRLF", 1000, true, u"Title:\na\nb\n\nc\rd"},
        {&own.table, "crlf", 1002, true, u"a\nb\n\nc\rd"}, // no string 1002: untitled
        {&own.table, "LOWER", 0, true, u"found"},
        {&own.table, "LOWER", 1001, true, std::u16string(255, u'T') + u"\nfound"},
        {&own.table, "EMPTY", 1000, true, u""},
        {&own.table, "MISSING", 1000, false, u""},
        {&own.table, "DATA", 1000, false, u""},
        {&own.table, nullptr, 1000, false, u""},
        {&unregistered, "CRLF", 1000, false, u""},
    };
    for (const auto& [module, name, titleId, found, logged] : rows) {
        SCOPED_TRACE(testing::Message() << (name ? name : "null") << ", title " << titleId);
        runtime.ClearLog();
        EXPECT_EQ(ShowLicence(module, name, titleId), found);
        EXPECT_EQ(runtime.LogTexts(1), logged.empty() ? Texts{} : Texts{logged});
    }
}

TEST_F(LicenceTest, TheScriptLoggerWritesLevelsZeroAndOneOnly)
{
    for (std::int32_t level : {kLogLevelNormal, kLogLevelImportant, 2, -1})
        ScriptLogger().Log(level, level == kLogLevelNormal ? nullptr : u"line");
    EXPECT_EQ(runtime.LogTexts(0), Texts{u""});
    EXPECT_EQ(runtime.LogTexts(1), Texts{u"line"});
}

} // namespace
