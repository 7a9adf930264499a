// Directory, file name, stem and extension of storage paths.
#include <multitrack/PathPieces.h>

#include <gtest/gtest.h>

namespace {

struct Pieces {
    std::u16string path;
    std::u16string directory;
    std::u16string fileName;
    std::u16string extension;
    std::u16string stem; // of the file name
};

TEST(PathPiecesTest, CutAtTheLastOfTheThreeSeparators)
{
    const Pieces cases[] = {
        {u"music/bgm.mtrk", u"music/", u"bgm.mtrk", u".mtrk", u"bgm"},
        {u"a\\b/c\\d.ogg", u"a\\b/c\\", u"d.ogg", u".ogg", u"d"},
        {u"pack.arc>music/loop.opus", u"pack.arc>music/", u"loop.opus", u".opus", u"loop"},
        {u"data/pack.arc>loop", u"data/pack.arc>", u"loop", u"", u"loop"},
        {u"bgm.mtrk", u"", u"bgm.mtrk", u".mtrk", u"bgm"},
        {u"dir/", u"dir/", u"", u"", u""},
        {u"", u"", u"", u"", u""},
        {u"a.tar.gz", u"", u"a.tar.gz", u".gz", u"a.tar"},
        {u"x/.ogg", u"x/", u".ogg", u".ogg", u""},
        {u"x/name.", u"x/", u"name.", u".", u"name"},
        {u"Song.OGG", u"", u"Song.OGG", u".OGG", u"Song"}, // no case folding
        {u"a|b.opus|id.mtrk", u"", u"a|b.opus|id.mtrk", u".mtrk", u"a|b.opus|id"},
    };
    for (const Pieces& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(DirectoryOf(c.path), c.directory);
        EXPECT_EQ(FileNameOf(c.path), c.fileName);
        EXPECT_EQ(ExtensionOf(c.path), c.extension);
        EXPECT_EQ(StemOf(c.fileName), c.stem);
    }
}

TEST(PathPiecesTest, DotsBeforeTheLastSeparatorAreNoExtension)
{
    EXPECT_EQ(ExtensionOf(u"a.b/music"), u"");
    EXPECT_EQ(ExtensionOf(u"a.b\\music"), u"");
    EXPECT_EQ(ExtensionOf(u"a.arc>music"), u"");
    // StemOf cuts the same extension, so it leaves such a path whole.
    EXPECT_EQ(StemOf(u"a.b/music"), u"a.b/music");
    EXPECT_EQ(StemOf(u"a.b/music.ogg"), u"a.b/music");
}

} // namespace
