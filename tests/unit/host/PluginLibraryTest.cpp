// Loading failures of PluginLibrary; loading the real plug-in is exercised by
// the integration tests.
#include "HostTestSupport.h"

#include "host/PluginLibrary.h"

#include <gtest/gtest.h>

namespace {

// A failed load says why, naming what it could, and holds nothing; moving
// carries the outcome along.
TEST(PluginLibrary, FailsCleanlyAndTellsWhy)
{
    hosttest::TempFolder folder;
    hosttest::WriteFile(folder.Path() / "text.so", {'h', 'e', 'l', 'l', 'o'});
    const std::pair<std::filesystem::path, std::vector<std::string>> cases[] = {
        {folder.Path() / "no-such-plugin.so", {"no-such-plugin.so", "no such file"}},
        {folder.Path() / "text.so", {"loader refused"}},
        {folder.Path(), {"folder"}},
        {"", {"not a usable path"}},
    };
    for (const auto& [path, parts] : cases) {
        host::PluginLibrary library;
        EXPECT_FALSE(library.Load(path));
        host::PluginLibrary moved(std::move(library));
        host::PluginLibrary assigned;
        assigned = std::move(moved);
        for (const std::string& part : parts)
            EXPECT_NE(assigned.Error().find(part), std::string::npos) << "'" << assigned.Error() << "' lacks '" << part << "'";
        for (const host::PluginLibrary* held : {&library, &moved, &assigned}) {
            EXPECT_FALSE(held->IsLoaded());
            EXPECT_TRUE(held->Path().empty());
            EXPECT_EQ(held->GetModuleInstance(), nullptr);
            EXPECT_EQ(held->FindExport(kGetModuleInstanceExport), nullptr);
        }
    }
}

} // namespace
