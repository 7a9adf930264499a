// The list reader alone: text in, description out. What the mixers then do
// with the sources (opening, formats, channel maps against the source) is
// tested with the mixers.
#include <multitrack/lists/TrackListReader.h>

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::u16string>;

TEST(TrackListReader, FormFollowsExtensionAndInlineName)
{
    EXPECT_EQ(TrackListFormOf(u"a/B.MTRK"), TrackListForm::MtrkFile);
    EXPECT_EQ(TrackListFormOf(u"a/x.opus|y.ogg|id.mtrk"), TrackListForm::MtrkInline);
    EXPECT_EQ(TrackListFormOf(u"a>s.Mchx"), TrackListForm::Mchx);
    EXPECT_FALSE(TrackListFormOf(u"a.mtrk/x.ogg"));
    EXPECT_TRUE(ReadTrackList(u"x.ogg", u"a\tb.ogg").refused);
}

TEST(TrackListReader, MtrkFileListsEveryLineWithASourceAndItsNumber)
{
    const TrackListDescription list =
        ReadMtrkList(u"music/bgm.mtrk", u"# comment\r\n\r\ndrums\tdir/Drums.opus\t*\n\tbass.ogg\n"
                                         u"x\t\tlib.so\nkeys\tk.wav\tlibvywav.so\nlone\n");
    EXPECT_EQ(list.form, TrackListForm::MtrkFile);
    EXPECT_EQ(list.listName, u"bgm.mtrk");
    EXPECT_FALSE(list.refused);
    ASSERT_EQ(list.sources.size(), 3u) << "empty fields vanish: a line needs two fields that are not empty";
    const ListedSource& drums = list.sources[0];
    EXPECT_EQ(std::tuple(drums.storageName, drums.decoderChoice, drums.line), std::tuple(u"dir/Drums.opus", u"*", 3));
    EXPECT_EQ(drums.trackNames, (Strings{u"drums", u"Drums", u"Drums.opus"}));
    EXPECT_EQ(list.sources[1].trackNames, (Strings{u"x", u"lib", u"lib.so"}));
    EXPECT_EQ(std::tuple(list.sources[1].decoderChoice, list.sources[1].line), std::tuple(u"", 5));
    EXPECT_EQ(std::tuple(list.sources[2].decoderChoice, list.sources[2].line), std::tuple(u"libvywav.so", 6));
}

TEST(TrackListReader, MtrkInlineNameListsSourcesBesideTheListAndIgnoresText)
{
    const TrackListDescription list = ReadMtrkList(u"m/a.opus||b.ogg|id.mtrk", u"x\ty.opus");
    EXPECT_EQ(list.form, TrackListForm::MtrkInline);
    EXPECT_EQ(list.listName, u"id.mtrk");
    ASSERT_EQ(list.sources.size(), 2u);
    EXPECT_EQ(std::tuple(list.sources[1].storageName, list.sources[1].line), std::tuple(u"m/b.ogg", 0));
    EXPECT_EQ(list.sources[1].trackNames, (Strings{u"b", u"b.ogg"})) << "the inline form has no track names";
    EXPECT_TRUE(ReadMtrkList(u"dir/", u"").refused);
}

TEST(TrackListReader, MchxRefusesAtTheFirstFailingLineOrAfterTheLast)
{
    struct Row {
        const char16_t* text;
        const char16_t* message;
        int line;
        std::size_t sources; // listed before the refusal (their choices are still taken)
    };
    const Row rows[] = {
        {u"", u"", 0, 0},
        {u"channel\t0\n", u"invalid channel count", 1, 0},
        {u"channel\t256\n", u"invalid channel count", 1, 0}, // beyond any source's channels
        {u"channel\t255\n", u"no track", 0, 0},
        {u"channel\t2\n#\nchannel\t2\n", u"duplicated channel found", 3, 0},
        {u"source\n", u"invalid source", 1, 0},
        {u"source\ta.opus\nsource\tb.opus\tlib.so\n", u"multi source found", 2, 2},
        {u"source\ta.opus\ntrack\n", u"no track name", 2, 1},
        {u"volume\n", u"no volume name", 1, 0},
        {u"source\ta.opus\ntrack\tA\t0\n", u"no channel", 0, 1},
        {u"channel\t2\nsource\ta.opus\n", u"no track", 0, 1},
        {u"channel\t2\ntrack\tA\t0\n", u"no source", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text, row.text + std::char_traits<char16_t>::length(row.text)));
        const TrackListDescription list = ReadMchxList(u"d/l.mchx", row.text);
        EXPECT_TRUE(list.refused);
        EXPECT_EQ(list.errorMessage, row.message);
        EXPECT_EQ(list.errorLine, row.line);
        EXPECT_EQ(list.sources.size(), row.sources);
    }
}

TEST(TrackListReader, MchxDescribesChannelTracksAndVolumes)
{
    const TrackListDescription list = ReadMchxList(
        u"d/l.mchx", u"track\tDrums\t0\t255\t3\nvolume\tdrums\t0.5\nvolume\tDRUMS\t2\nsource\ts.opus\t*\n"
                     u"channel\t2\ntrack\tPad\t-1\ttwo\ntrack\tdrums\t4\nvolume\tpad\tnan\nbogus\n");
    ASSERT_FALSE(list.refused) << std::string(list.errorMessage.begin(), list.errorMessage.end());
    EXPECT_EQ(list.listName, u"s.opus");
    EXPECT_EQ(list.channelCount, 2u);
    ASSERT_EQ(list.sources.size(), 1u);
    EXPECT_EQ(std::tuple(list.sources[0].storageName, list.sources[0].decoderChoice), std::tuple(u"d/s.opus", u"*"));
    ASSERT_EQ(list.channelTracks.size(), 3u);
    EXPECT_EQ(list.channelTracks[0].name, u"drums");
    EXPECT_EQ(list.channelTracks[0].channels, (std::vector<std::int32_t>{0, -1})) << "two slots; 255 cannot be named";
    EXPECT_EQ(list.channelTracks[1].channels, (std::vector<std::int32_t>{-1, 0})) << "a field without digits reads 0";
    EXPECT_EQ(list.channelTracks[2].line, 7);
    EXPECT_EQ(list.volumes, (std::vector<float>{0.5f, 1.0f, 1.0f}))
        << "the first line for a name wins and sets its first track; a NaN counts as missing";
}

} // namespace
