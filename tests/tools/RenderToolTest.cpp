// mtrk-render run as a person runs it: on the demo set (made once by the
// CTest fixture tools_demo, or here when missing), on broken lists and
// with bad input. The WAV files are read back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted.append(c == '\'' ? "'\\''" : std::string(1, c));
    return quoted.append("'");
}

class ToolTest : public ::testing::Test {
protected:
    static fs::path Demo() { return MTRK_DEMO_DIR; }

    static void SetUpTestSuite()
    {
        if (!fs::exists(Demo() / "demo.wav")) {
            ASSERT_EQ(system((Quote(MTRK_RENDER_PATH) + " --demo " + Quote(Demo().string()) + " -q >/dev/null").c_str()), 0);
        }
    }

    void SetUp() override
    {
        std::random_device random;
        scratch = fs::path(::testing::TempDir()) / ("mtrk-render-" + std::to_string(random()));
        fs::create_directories(scratch);
    }
    void TearDown() override { fs::remove_all(scratch); }

    ToolRun Tool(const std::vector<std::string>& arguments) const
    {
        std::string command = "cd " + Quote(scratch.string()) + " && " + Quote(MTRK_RENDER_PATH);
        for (const std::string& argument : arguments)
            command.append(" ").append(Quote(argument));
        command.append(" >out.txt 2>err.txt; echo $? >code.txt");
        EXPECT_EQ(system(command.c_str()), 0);
        ToolRun run;
        run.code = std::stoi(ReadFile(scratch / "code.txt"));
        run.out = ReadFile(scratch / "out.txt");
        run.err = ReadFile(scratch / "err.txt");
        for (const char* name : {"out.txt", "err.txt", "code.txt"})
            fs::remove(scratch / name);
        return run;
    }

    void Write(const std::string& name, const std::string& text) const { std::ofstream(scratch / name) << text; }

    // The files in the scratch folder (temporary files included).
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path scratch;
};

struct Wav {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::string data;

    std::uint64_t Frames() const { return data.size() / (channels * bits / 8u); }
    float Float(std::size_t index) const
    {
        float value;
        std::memcpy(&value, data.data() + index * 4, 4);
        return value;
    }
    std::int16_t Int16(std::size_t index) const
    {
        std::int16_t value;
        std::memcpy(&value, data.data() + index * 2, 2);
        return value;
    }
};

template <typename T> T Field(const std::string& bytes, std::size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

Wav ReadWav(const fs::path& path)
{
    const std::string bytes = ReadFile(path);
    Wav wav;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
        bytes.compare(36, 4, "data") != 0) {
        ADD_FAILURE() << path << " is not a plain WAV file";
        return wav;
    }
    EXPECT_EQ(Field<std::uint32_t>(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 40), bytes.size() - 44);
    wav.formatTag = Field<std::uint16_t>(bytes, 20);
    wav.channels = Field<std::uint16_t>(bytes, 22);
    wav.rate = Field<std::uint32_t>(bytes, 24);
    wav.bits = Field<std::uint16_t>(bytes, 34);
    wav.data = bytes.substr(44);
    return wav;
}

// The first frame at which two renders of the same format differ.
std::uint64_t FirstDifference(const Wav& a, const Wav& b)
{
    const std::size_t frameBytes = a.channels * a.bits / 8u;
    for (std::size_t offset = 0; offset < std::min(a.data.size(), b.data.size()); offset += frameBytes)
        if (a.data.compare(offset, frameBytes, b.data, offset, frameBytes) != 0)
            return offset / frameBytes;
    return std::min(a.data.size(), b.data.size()) / frameBytes;
}

constexpr std::uint64_t kDemoFrames = 8 * 96000; // 8 bars at 120 bpm, 48 kHz
constexpr std::uint64_t kBar5 = 4 * 96000;

TEST_F(ToolTest, TheDemoRendersEightBarsAndTheLeadSwitchesOnTheBarLineInsideABlock)
{
    const Wav demo = ReadWav(Demo() / "demo.wav");
    EXPECT_EQ(demo.formatTag, 3); // IEEE float
    EXPECT_EQ(demo.channels, 2);
    EXPECT_EQ(demo.rate, 48000u);
    EXPECT_EQ(demo.bits, 32);
    EXPECT_EQ(demo.Frames(), kDemoFrames);
    EXPECT_NE(ReadFile(Demo() / "demo.svg").find("switch bar 5:1"), std::string::npos);

    // The same timeline without the delayed switch: the renders part at
    // the bar line, which lies inside a 4096-frame block.
    std::string timeline = ReadFile(Demo() / "demo.timeline");
    const std::size_t delay = timeline.find("4:2.5  delay");
    ASSERT_NE(delay, std::string::npos);
    timeline.erase(delay, timeline.find('\n', delay) - delay);
    Write("nolead.timeline", timeline);
    const ToolRun run = Tool({(Demo() / "demo.mtrk").string(), "-o", "nolead.wav", "--timeline", "nolead.timeline"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("wrote nolead.wav: 768000 frames (16.000 s)"), std::string::npos) << run.out;
    ASSERT_NE(kBar5 % 4096, 0u);
    EXPECT_EQ(FirstDifference(demo, ReadWav(scratch / "nolead.wav")), kBar5);
}

TEST_F(ToolTest, OutputIsBitIdenticalWhateverTheBlockSize)
{
    const std::string reference = ReadFile(Demo() / "demo.wav"); // rendered with --block 4096
    for (const char* block : {"512", "1001"}) {
        SCOPED_TRACE(block);
        const ToolRun run = Tool({(Demo() / "demo.mtrk").string(), "-o", "b.wav", "--timeline",
                              (Demo() / "demo.timeline").string(), "--block", block, "-q"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_TRUE(ReadFile(scratch / "b.wav") == reference);
    }
}

TEST_F(ToolTest, SixteenBitOutputAndHostGainOptions)
{
    const std::string drumsOnly = (Demo() / "drums.opus|drums-only.mtrk").string();
    ASSERT_EQ(Tool({drumsOnly, "-o", "f.wav", "--duration", "48000f"}).code, 0);
    ASSERT_EQ(Tool({drumsOnly, "-o", "g.wav", "--duration", "1", "--opt", "-opus_gain=-6"}).code, 0);
    const ToolRun pcm16 = Tool({drumsOnly, "-o", "p.wav", "--duration", "1s", "--pcm16"});
    ASSERT_EQ(pcm16.code, 0) << pcm16.err;

    const Wav full = ReadWav(scratch / "f.wav");
    const Wav quieter = ReadWav(scratch / "g.wav");
    const Wav sixteen = ReadWav(scratch / "p.wav");
    ASSERT_EQ(full.Frames(), 48000u);
    ASSERT_EQ(quieter.Frames(), 48000u);
    EXPECT_EQ(sixteen.formatTag, 1);
    EXPECT_EQ(sixteen.bits, 16);
    ASSERT_EQ(sixteen.Frames(), 48000u);
    double loudest = 0.0;
    double ratio = 0.0;
    for (std::size_t i = 0; i < 96000; ++i) {
        if (std::abs(full.Float(i)) > loudest) {
            loudest = std::abs(full.Float(i));
            ratio = quieter.Float(i) / full.Float(i);
        }
        EXPECT_NEAR(sixteen.Int16(i) / 32768.0, full.Float(i), 2.0 / 32768.0) << i;
    }
    EXPECT_NEAR(ratio, 0.5012, 0.002); // -6 dB
}

TEST_F(ToolTest, CheckReportsWhatLoadedAndThePluginsMessageForWhatDidNot)
{
    const ToolRun good = Tool({"--check", (Demo() / "demo.mtrk").string(), (Demo() / "demo.mchx").string(),
                           (Demo() / "drums.opus|bass.opus|inline.mtrk").string()});
    EXPECT_EQ(good.code, 0) << good.out << good.err;
    for (const char* expected : {"demo.mtrk: loads", "  id:      demo.mtrk", "    3: lead, lead.ogg",
                                 "drums.opus  (built-in Opus decoder)  -> track 0",
                                 "pad.ogg  (built-in Vorbis decoder)  -> track 2", "  id:      stems6.opus",
                                 "    2: pad", "-> all 3 tracks", "inline.mtrk: loads", "  list:    .mtrk inline name",
                                 "48000 Hz, 2 channels, float32, 768000 frames (16.000 s)"})
        EXPECT_NE(good.out.find(expected), std::string::npos) << expected << "\n" << good.out;

    fs::copy(Demo() / "drums.opus", scratch / "drums.opus");
    fs::copy(Demo() / "stems6.opus", scratch / "stems6.opus");
    Write("mismatch.mtrk", "drums\tdrums.opus\nsix\tstems6.opus\n");
    Write("missing.mtrk", "a\tnot-there.opus\n");
    Write("nobind.mchx", "channel\t2\nsource\tstems6.opus\ntrack\tx\t9\t9\n");
    const ToolRun bad = Tool({"--check", "mismatch.mtrk", "missing.mtrk", "nobind.mchx", "absent.mtrk", "x.wav",
                          (Demo() / "demo.mtrk").string()});
    EXPECT_EQ(bad.code, 1);
    for (const char* expected : {"mismatch.mtrk: does not load: VyMultiTrack: track format mismatched: mismatch.mtrk",
                                 "missing.mtrk: does not load: VyMultiTrack: failed to load track list: missing.mtrk",
                                 "not-there.opus  (built-in Opus decoder)  [no such file]",
                                 "nobind.mchx: does not load: VyMultiTrack: track empty bind:x: nobind.mchx",
                                 "absent.mtrk: no such file", "x.wav: not a track list", "demo.mtrk: loads"})
        EXPECT_NE(bad.out.find(expected), std::string::npos) << expected << "\n" << bad.out;
}

TEST_F(ToolTest, EveryErrorExitsNonZeroWithOneLineAndLeavesNoFile)
{
    const std::string list = (Demo() / "demo.mtrk").string();
    Write("unknown.mtrk", "a\tnot-there.opus\n");
    Write("bad.timeline", "bpm 120\n0 mask pad 0\n2:1 mask pad\n");
    Write("late.timeline", "bpm 120\n1:5 mask pad 1\n");
    fs::create_directories(scratch / "folder.wav");
    Write("keep.wav", "older");
    const struct {
        std::vector<std::string> arguments;
        int code;
        std::string message;
    } cases[] = {
        {{"absent.mtrk", "-o", "o.wav"}, 1, "mtrk-render: absent.mtrk: no such file\n"},
        {{"unknown.mtrk", "-o", "keep.wav"}, 1,
         "mtrk-render: unknown.mtrk: does not load: VyMultiTrack: failed to load track list: unknown.mtrk\n"},
        {{list, "-o", "no-folder/o.wav"}, 1, "mtrk-render: cannot write no-folder/o.wav: No such file or directory\n"},
        {{list, "-o", "folder.wav"}, 1, "mtrk-render: cannot write folder.wav: it is a folder\n"},
        {{list, "-o", "o.wav", "--plot", "no-folder/o.svg"}, 1,
         "mtrk-render: cannot write no-folder/o.svg: No such file or directory\n"},
        {{list, "-o", "o.wav", "--block", "x"}, 2, "mtrk-render: --block takes a frame count from 1 to 1048576, not 'x'\n"},
        {{list, "-o", "o.wav", "--start", "20"}, 2, "mtrk-render: --start is past the end of the stream (16.000 s)\n"},
        {{list, "-o", "o.wav", "--plugin", "absent.so"}, 1, "mtrk-render: cannot load the plug-in absent.so: "},
        {{list, "-o", "keep.wav", "--timeline", "bad.timeline"}, 2,
         "mtrk-render: bad.timeline:3: 'mask' takes TRACKS VOLUME [FADE]\n"},
        {{list, "-o", "o.wav", "--timeline", "late.timeline"}, 2, "mtrk-render: late.timeline:2: beat 5 does not fit a bar of 4 beats\n"},
        {{list, "-o", "o.wav", "--timeline", "absent.timeline"}, 2, "mtrk-render: cannot read timeline absent.timeline: no such file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolRun run = Tool(c.arguments);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.err.substr(0, c.message.size()), c.message);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
        EXPECT_EQ(Files().size(), 5u); // the inputs above, nothing else
        EXPECT_EQ(ReadFile(scratch / "keep.wav"), "older");
    }
}

} // namespace
