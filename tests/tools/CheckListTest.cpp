// mtrk-render --check on lists that tell its report and the plug-in apart:
// both read a list with the same reader, so what the report says each
// source became is what the plug-in did with it.
#include <platform/Process.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string output; // stdout and stderr
};

ToolRun Tool(const std::vector<std::string>& arguments)
{
    const platform::ProcessResult run = platform::RunProcess(MTRK_RENDER_PATH, arguments);
    return {run.exitCode, run.output + run.errors};
}

class CheckListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(::testing::TempDir()) / ("mtrk-check-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        for (const char* stem : {"drums.opus", "bass.opus"})
            fs::copy_file(fs::path(MTRK_DEMO_DIR) / stem, dir / stem);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

// Several lines naming one file are several tracks, each reported as the
// track it became.
TEST_F(CheckListTest, ReportsEachSourceAsTheTrackItBecame)
{
    Write("same.mtrk", "x\tdrums.opus\ny\tdrums.opus\nw\tdrums.opus\nz\tbass.opus\n");
    const ToolRun run = Tool({"--check", Path("same.mtrk")});
    EXPECT_EQ(run.code, 0) << run.output;
    for (int track = 0; track < 3; ++track) {
        const std::string line = "line " + std::to_string(track + 1) + "   drums.opus  (built-in Opus decoder)  -> track " +
                                 std::to_string(track);
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
    }
}

TEST_F(CheckListTest, NamesTheLineARefusalCameFromAndAListOutsideTheRoot)
{
    Write("bad.mchx", "channel\t2\nsource\tdrums.opus\ntrack\n");
    const ToolRun bad = Tool({"--check", Path("bad.mchx")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.output.find("does not load: VyMultiTrack: no track name: bad.mchx (line 3)"), std::string::npos)
        << bad.output;

    fs::create_directories(dir / "root");
    Write("out.mtrk", "a\tdrums.opus\n");
    const ToolRun outside = Tool({"--check", "--root", Path("root"), Path("out.mtrk")});
    EXPECT_EQ(outside.code, 1);
    EXPECT_NE(outside.output.find("is outside the --root folder"), std::string::npos) << outside.output;
}

// A bare module name is found beside the plug-in, though no loader path
// leads there.
TEST_F(CheckListTest, FindsABareModuleNameBesideThePlugin)
{
    fs::create_directories(dir / "plugin");
    fs::copy_file(VY_PLUGIN_PATH, dir / "plugin" / fs::path(VY_PLUGIN_PATH).filename());
    fs::copy_file(VY_WAV_MODULE_PATH, dir / "plugin" / "libvywav.so");
    Write("one.mtrk", "a\tdrums.opus\n");
    ASSERT_EQ(Tool({"-q", "--duration", "0.1", "-o", Path("keys.wav"), Path("one.mtrk")}).code, 0);
    Write("keys.mtrk", "keys\tkeys.wav\tlibvywav.so\n");
    const std::string plugin = (dir / "plugin" / fs::path(VY_PLUGIN_PATH).filename()).string();
    const ToolRun run = Tool({"--check", "--plugin", plugin, Path("keys.mtrk")});
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("keys.wav  (decoder module for '.wav'; module libvywav.so linked)  -> track 0"),
              std::string::npos)
        << run.output;
}

TEST_F(CheckListTest, WarnsWhenSwitchPointsAreNotAscending)
{
    Write("two.mtrk", "a\tdrums.opus\nb\tbass.opus\n");
    Write("t.timeline", "0 delay 1s,0.5s a 0\n");
    const ToolRun run = Tool({"-q", "--duration", "1.5", "--timeline", Path("t.timeline"), "-o", Path("two.wav"),
                               Path("two.mtrk")});
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("t.timeline:1: the switch points are not in ascending order"), std::string::npos)
        << run.output;
}

} // namespace
