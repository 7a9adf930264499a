// Loading failures of PluginLibrary; loading the real plug-in is exercised by
// the integration tests.
#include "HostTestSupport.h"

#include "host/PluginLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Whether the error text mentions `part`.
::testing::AssertionResult Mentions(const std::string& error, const std::string& part)
{
    if (error.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "'" << error << "' does not mention '" << part << "'";
}

void ExpectNothingHeld(const host::PluginLibrary& library)
{
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(library.Path().empty());
    EXPECT_EQ(library.GetModuleInstance(), nullptr);
    EXPECT_EQ(library.FindExport(kGetModuleInstanceExport), nullptr);
    EXPECT_EQ(library.FindExport(nullptr), nullptr);
}

TEST(PluginLibrary, FailsCleanlyOnAPathThatDoesNotExist)
{
    hosttest::TempFolder folder;
    const std::filesystem::path path = folder.Path() / "no-such-plugin.so";
    host::PluginLibrary library;
    EXPECT_FALSE(library.Load(path));
    EXPECT_TRUE(Mentions(library.Error(), "no-such-plugin.so"));
    EXPECT_TRUE(Mentions(library.Error(), "no such file"));
    ExpectNothingHeld(library);
}

TEST(PluginLibrary, TellsWhatElseStoppedTheLoad)
{
    hosttest::TempFolder folder;
    const std::filesystem::path notALibrary = folder.Path() / "text.so";
    hosttest::WriteFile(notALibrary, {'h', 'e', 'l', 'l', 'o'});
    host::PluginLibrary library;

    EXPECT_FALSE(library.Load(notALibrary));
    EXPECT_TRUE(Mentions(library.Error(), "loader refused"));
    ExpectNothingHeld(library);

    EXPECT_FALSE(library.Load(folder.Path()));
    EXPECT_TRUE(Mentions(library.Error(), "folder"));
    ExpectNothingHeld(library);

    EXPECT_FALSE(library.Load(""));
    EXPECT_TRUE(Mentions(library.Error(), "not a usable path"));
    ExpectNothingHeld(library);
}

TEST(PluginLibrary, MovingCarriesTheOutcome)
{
    host::PluginLibrary failed;
    EXPECT_FALSE(failed.Load("does-not-exist.so"));
    host::PluginLibrary moved(std::move(failed));
    EXPECT_TRUE(Mentions(moved.Error(), "does-not-exist.so"));
    ExpectNothingHeld(moved);
    ExpectNothingHeld(failed);
    host::PluginLibrary assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(Mentions(assigned.Error(), "does-not-exist.so"));
    ExpectNothingHeld(assigned);
}

} // namespace
