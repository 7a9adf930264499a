// What --check and --plot work out on their own: the sources a list names
// with the decoder its rules pick, and the gain each track was asked for.
#include "GainLanes.h"
#include "ListSources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace mtrk {

void PrintTo(const GainPoint& point, std::ostream* out)
{
    *out << "(" << point.frame << ", " << point.gain << ")";
}

namespace {

namespace fs = std::filesystem;

TEST(ListContents, NamesEachSourceWithTheDecoderTheListsRulesPick)
{
    std::random_device random;
    const fs::path root = fs::path(::testing::TempDir()) / ("mtrk-lists-" + std::to_string(random()));
    fs::create_directories(root / "sub");
    std::ofstream(root / "drums.opus") << "x";
    // UTF-16 little-endian with its byte-order mark.
    const std::u16string text = u"d\tdrums.opus\nk\tkeys.wav\tlibvywav.so\r\np\tpad.ogg\n# one field\no\tother.ogg\t*\n";
    std::ofstream list(root / "bgm.mtrk", std::ios::binary);
    list << "\xFF\xFE";
    for (char16_t unit : text)
        list.put(static_cast<char>(unit & 0xFF)).put(static_cast<char>(unit >> 8));
    list.close();
    std::ofstream(root / "sub" / "x.mchx") << "channel\t2\nsource\tstems.opus\ntrack\ta\t0\t1\n";

    const ListContents file = ReadListContents(root, u"bgm.mtrk");
    EXPECT_EQ(file.form, ".mtrk file");
    ASSERT_EQ(file.sources.size(), 4u);
    EXPECT_EQ(file.sources[0].decoder, "built-in Opus decoder");
    EXPECT_TRUE(file.sources[0].present);
    EXPECT_EQ(file.sources[1].decoder, "decoder module for '.wav' (linked: libvywav.so)");
    EXPECT_FALSE(file.sources[1].present);
    // A linked module holds for the lines after it, until a '*'.
    EXPECT_EQ(file.sources[2].decoder, "decoder module for '.ogg' (linked: libvywav.so)");
    EXPECT_EQ(file.sources[3].line, 5);
    EXPECT_EQ(file.sources[3].decoder, "built-in Vorbis decoder");
    EXPECT_EQ(file.modules, std::vector<std::string>{"libvywav.so"});

    const ListContents gather = ReadListContents(root, u"sub/x.mchx");
    ASSERT_EQ(gather.sources.size(), 1u);
    EXPECT_EQ(gather.sources[0].storageName, "sub/stems.opus"); // relative to the list's folder

    const ListContents inlineName = ReadListContents(root, u"sub/a.opus|B.OGG|n.mtrk");
    EXPECT_EQ(inlineName.form, ".mtrk inline name");
    ASSERT_EQ(inlineName.sources.size(), 2u);
    EXPECT_EQ(inlineName.sources[1].storageName, "sub/B.OGG");
    EXPECT_EQ(inlineName.sources[1].decoder, "built-in Vorbis decoder");
    fs::remove_all(root);
}

TEST(GainLanes, FollowImmediateFadedAndDelayedChangesWhereTheyTookEffect)
{
    OpenReport stream;
    stream.trackCount = 2;
    stream.firstNames = {u"a", u"b"};
    stream.otherNames = {{u"a.opus", 0}};
    TimelineAction silenceA;
    silenceA.changes = {{{false, false, {u"A"}}, 0.0}};
    TimelineAction allUp;
    allUp.changes = {{{true, false, {}}, 1.0}};
    allUp.fadeMs = 1000;
    TimelineAction delayed;
    delayed.kind = ActionKind::Delay;
    delayed.changes = {{{false, false, {u"a.opus"}}, 0.25}};
    TimelineAction refused = silenceA;
    refused.changes[0].tracks.names = {u"b"};
    const std::vector<ActionRecord> records = {
        {&silenceA, 0, {}, true}, {&allUp, 48000, {}, true}, {&delayed, 10, {72000}, true}, {&refused, 5, {}, false}};
    // The delayed change shows where the output changed, midway through the fade.
    const auto lines = RequestedGains(stream, records, {0, 48000, 72000, 5}, 48000, 120000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (std::vector<GainPoint>{
                            {0, 1.0}, {0, 1.0}, {0, 0.0}, {48000, 0.0}, {72000, 0.5}, {72000, 0.25}, {120000, 0.25}}));
    EXPECT_EQ(lines[1], (std::vector<GainPoint>{{0, 1.0}, {48000, 1.0}, {48000, 1.0}, {120000, 1.0}}));
}

} // namespace
} // namespace mtrk
