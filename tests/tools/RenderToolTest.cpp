// mtrk-render run as a person runs it: on the demo set (made once by the
// CTest fixture tools_demo), on broken lists and with bad input. The WAV
// files are read back.
#include <platform/Process.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename T> T Field(const std::string& bytes, std::size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Checks that `bytes` are a plain WAV file as the tool writes it (the
// 44-byte header, then the data) of `frames` 48 kHz stereo frames.
void ExpectWav(const std::string& bytes, std::uint16_t formatTag, std::uint16_t bits, std::uint64_t frames)
{
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(Field<std::uint32_t>(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(std::tuple(Field<std::uint16_t>(bytes, 20), Field<std::uint16_t>(bytes, 22),
                         Field<std::uint32_t>(bytes, 24), Field<std::uint16_t>(bytes, 34)),
              std::tuple(formatTag, std::uint16_t{2}, 48000u, bits)); // format, channels, rate, bits
    EXPECT_EQ(bytes.size() - 44, frames * 2 * bits / 8);
}

class ToolTest : public ::testing::Test {
protected:
    static fs::path Demo() { return MTRK_DEMO_DIR; }

    void SetUp() override
    {
        std::random_device random;
        scratch = fs::path(::testing::TempDir()) / ("mtrk-render-" + std::to_string(random()));
        fs::create_directories(scratch);
    }
    void TearDown() override { fs::remove_all(scratch); }

    struct Run {
        int code;
        std::string out, err;
    };
    // Runs the tool in the scratch folder, reading `input` when given.
    Run Tool(const std::vector<std::string>& arguments, const std::optional<std::string>& input = std::nullopt) const
    {
        const platform::ProcessResult run = platform::RunProcess(MTRK_RENDER_PATH, arguments, scratch.string(), input);
        return {run.exitCode, run.output, run.errors};
    }

    void Write(const std::string& name, const std::string& text) const { std::ofstream(scratch / name) << text; }

    fs::path scratch;
};

constexpr std::uint64_t kDemoFrames = 8 * 96000; // 8 bars at 120 bpm, 48 kHz
constexpr std::uint64_t kBar5 = 4 * 96000;

TEST_F(ToolTest, TheDemoRendersEightBarsBitIdenticalForAnyBlockSizeAndSwitchesOnTheBarLine)
{
    const std::string demo = ReadFile(Demo() / "demo.wav"); // rendered with --block 4096
    ExpectWav(demo, 3, 32, kDemoFrames);                     // IEEE float
    const std::string svg = ReadFile(Demo() / "demo.svg");
    EXPECT_NE(svg.find("switch bar 5:1"), std::string::npos);
    EXPECT_NE(svg.find(">integrated -"), std::string::npos) << "the integrated loudness, marked";
    const std::string list = (Demo() / "demo.mtrk").string();
    for (const char* block : {"512", "1001"}) {
        SCOPED_TRACE(block);
        const Run run = Tool({list, "-o", "b.wav", "--timeline", (Demo() / "demo.timeline").string(), "--block", block});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.out.find("wrote b.wav: 768000 frames (16.000 s)"), std::string::npos) << run.out;
        EXPECT_TRUE(ReadFile(scratch / "b.wav") == demo);
    }

    // The same timeline without the delayed switch: the renders part at
    // the bar line, which lies inside a 4096-frame block.
    std::string timeline = ReadFile(Demo() / "demo.timeline");
    const std::size_t delay = timeline.find("4:2.5  delay");
    ASSERT_NE(delay, std::string::npos);
    timeline.erase(delay, timeline.find('\n', delay) - delay);
    Write("nolead.timeline", timeline);
    ASSERT_EQ(Tool({list, "-o", "nolead.wav", "--timeline", "nolead.timeline", "-q"}).code, 0);
    const std::string nolead = ReadFile(scratch / "nolead.wav");
    ASSERT_EQ(nolead.size(), demo.size());
    ASSERT_NE(kBar5 % 4096, 0u);
    EXPECT_EQ((std::mismatch(demo.begin(), demo.end(), nolead.begin()).first - demo.begin() - 44) / 8, kBar5);
}

// The summary's loudness fields, and --loudness-per-state: one line per
// span, the first one before any action.
TEST_F(ToolTest, TheSummaryGivesTheLoudnessAndEachSpanBetweenActionsItsOwn)
{
    Write("two.timeline", "1 mask pad 0\n2.5 mask lead 1\n");
    const Run run = Tool({(Demo() / "demo.mtrk").string(), "-o", "o.wav", "--duration", "4s", "--timeline",
                          "two.timeline", "--loudness-per-state", "-q"});
    ASSERT_EQ(run.code, 0) << run.err;
    for (const char* expected : {" dBTP, loudness -", " LUFS, range ", " LU, ",
                                 "\nspan 0.000 s - 1.000 s  from the start: -",
                                 "\nspan 1.000 s - 2.500 s  from two.timeline:1 (mask pad -> 0): -",
                                 "\nspan 2.500 s - 4.000 s  from two.timeline:2 (mask lead -> 1): -"})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << run.out; // the summary and three spans
}

// --pcm16: the plug-in delivers 16-bit samples itself when its storage
// provider lives in hmdevui.dll; --opt passes a host option.
TEST_F(ToolTest, SixteenBitOutputAndHostGainOptions)
{
    const std::string drumsOnly = (Demo() / "drums.opus|drums-only.mtrk").string();
    ASSERT_EQ(Tool({drumsOnly, "-o", "f.wav", "--duration", "48000f"}).code, 0);
    ASSERT_EQ(Tool({drumsOnly, "-o", "p.wav", "--duration", "1s", "--pcm16", "--opt", "-opus_gain=-6"}).code, 0);
    const std::string full = ReadFile(scratch / "f.wav");
    const std::string sixteen = ReadFile(scratch / "p.wav");
    ExpectWav(full, 3, 32, 48000);
    ExpectWav(sixteen, 1, 16, 48000);
    ASSERT_TRUE(full.size() == 44 + 384000 && sixteen.size() == 44 + 192000);
    float peak = 0.0f;
    for (std::size_t i = 0; i < 96000; ++i) {
        const auto sample = Field<float>(full, 44 + i * 4);
        peak = std::max(peak, std::abs(sample));
        EXPECT_NEAR(Field<std::int16_t>(sixteen, 44 + i * 2) / 32768.0, sample * 0.50119, 2.0 / 32768.0) << i;
    }
    EXPECT_GT(peak, 0.1f) << "the drums are there";
}

TEST_F(ToolTest, CheckReportsWhatLoadedAndThePluginsMessageForWhatDidNot)
{
    const Run good = Tool({"--check", (Demo() / "demo.mtrk").string(), (Demo() / "demo.mchx").string(),
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
    fs::create_directories(scratch / "sub");
    fs::copy(Demo() / "drums.opus", scratch / "sub" / "a.opus");
    // UTF-16 little-endian with its byte-order mark; a module that does not
    // link (no libvywav.so beside the plug-in or on the loader's path) leaves
    // the decoders as they were.
    std::ofstream utf16(scratch / "utf16.mtrk", std::ios::binary);
    utf16 << "\xFF\xFE";
    for (char16_t unit : std::u16string(u"d\tdrums.opus\nk\tkeys.wav\tlibvywav.so\r\np\tpad.ogg\n# 1\no\to.ogg\t*\n"))
        utf16.put(static_cast<char>(unit & 0xFF)).put(static_cast<char>(unit >> 8));
    utf16.close();
    const Run bad = Tool({"--check", "mismatch.mtrk", "missing.mtrk", "nobind.mchx", "absent.mtrk", "x.wav",
                          (Demo() / "demo.mtrk").string(), "utf16.mtrk", "sub/a.opus|B.OGG|n.mtrk"});
    EXPECT_EQ(bad.code, 1);
    for (const char* expected : {"utf16.mtrk: loads\n  list:    .mtrk file", "  modules: libvywav.so",
                                 "line 1   drums.opus  (built-in Opus decoder)  -> track 0",
                                 "line 2   keys.wav  (decoder module for '.wav'; module libvywav.so failed to link)  [no such file]",
                                 "line 3   pad.ogg  (built-in Vorbis decoder; module libvywav.so failed to link)",
                                 "line 5   o.ogg  (built-in Vorbis decoder)", // relative to the list's folder:
                                 "inline   a.opus  (built-in Opus decoder)  -> track 0",
                                 "inline   B.OGG  (built-in Vorbis decoder)  [no such file]","mismatch.mtrk: does not load: VyMultiTrack: track format mismatched: mismatch.mtrk",
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
        {{list, "-o", "o.wav", "--start", "20"}, 2, "mtrk-render: --start is past the end of the stream (16.000 s)\n"},
        {{list, "-o", "o.wav", "--plugin", "absent.so"}, 1, "mtrk-render: cannot load the plug-in absent.so: "},
        {{list, "-o", "keep.wav", "--timeline", "bad.timeline"}, 2,
         "mtrk-render: bad.timeline:3: 'mask' takes TRACKS VOLUME [FADE]\n"},
        {{list, "-o", "o.wav", "--timeline", "absent.timeline"}, 2, "mtrk-render: cannot read timeline absent.timeline: no such file\n"},
        {{list, "-o", "o.wav", "--loudness-per-state"}, 2,
         "mtrk-render: --loudness-per-state needs --timeline: it measures the spans between the timeline's actions\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Run run = Tool(c.arguments);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.err.substr(0, c.message.size()), c.message);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch), fs::directory_iterator()), 4); // the inputs above
        EXPECT_EQ(ReadFile(scratch / "keep.wav"), "older");
    }
}

// --play-to: commands from stdin land where the same actions in a timeline
// land in the offline render, so the files are equal bit for bit, whatever
// the block sizes. A plain line applies at once, which is after the timed
// lines before it.
TEST_F(ToolTest, PlayToWithCommandsEqualsTheOfflineRenderOfTheSameTimeline)
{
    const std::string list = (Demo() / "demo.mtrk").string();
    const std::string demo = (Demo() / "demo.timeline").string();
    const struct {
        const char* name;
        std::string commands, timeline;
        std::vector<std::string> play, render; // further arguments of each
    } rows[] = {
        {"timed mask and delay", "1 mask pad 0\n2.5 delay next-bar lead 1 250\n",
         "1 mask pad 0\n2.5 delay next-bar lead 1 250\n", {"--duration", "6"}, {"--duration", "6"}},
        {"plain lines follow the timed ones", "mask pad 0\n1 mask lead 1\nmask drums 0 300\nbad line\n",
         "0 mask pad 0\n1 mask lead 1\n1 mask drums 0 300\n", {"--duration", "3"}, {"--duration", "3"}},
        {"seek, then a timed quit", "1.5 seek 4:1\n3 quit\n", "1.5 seek 4:1\n", {}, {"--duration", "3"}},
        {"the demo's timeline file, no commands", "", "", {"--timeline", demo}, {"--timeline", demo}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Write("t.timeline", row.timeline);
        std::vector<std::string> play{list, "--play-to", "p.wav", "--bpm", "120", "--block", "1001"};
        std::vector<std::string> render{list, "-o", "r.wav", "--bpm", "120", "--timeline", "t.timeline", "-q"};
        play.insert(play.end(), row.play.begin(), row.play.end());
        render.insert(render.end(), row.render.begin(), row.render.end());
        const Run played = Tool(play, row.commands);
        const Run rendered = Tool(render);
        ASSERT_EQ(played.code, 0) << played.err;
        ASSERT_EQ(rendered.code, 0) << rendered.err;
        const std::string wav = ReadFile(scratch / "p.wav");
        EXPECT_GT(wav.size(), 48000u * 8);
        EXPECT_TRUE(wav == ReadFile(scratch / "r.wav"));
    }
}

// Without a sound output (this build's machines have none) --play says so
// in one line and exits 1 at once. Under Wine the emulator's own sound
// driver may print before it.
TEST_F(ToolTest, PlayWithoutASoundOutputFailsWithOneLine)
{
    const Run run = Tool({(Demo() / "demo.mtrk").string(), "--play"}, "");
    EXPECT_EQ(run.code, 1);
    const std::size_t last = run.err.rfind('\n', run.err.size() - 2) + 1; // npos + 1: the only line
    EXPECT_EQ(run.err.compare(last, 21, "mtrk-render: --play: "), 0) << run.err;
#ifndef _WIN32
    EXPECT_EQ(last, 0u) << run.err;
#endif
}

} // namespace
