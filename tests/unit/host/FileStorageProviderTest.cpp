#include "HostTestSupport.h"

#include "host/FileStorageProvider.h"

#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using hosttest::Owned;

// A root folder holding music/theme.ogg and, beside the root, a file that
// must stay out of reach.
class FileStorageProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(root_ / "music");
        hosttest::WriteFile(root_ / "music" / "theme.ogg", theme_);
        hosttest::WriteFile(folder_.Path() / "outside.bin", hosttest::Pattern(5));
        provider_.reset(host::FileStorageProvider::Create(root_));
    }

    // What OpenStreamForRead answers for `name`; the bytes it served, if any,
    // land in `bytes`. Checks that a failure stores null.
    HRESULT Open(const char16_t* name, std::vector<std::uint8_t>* bytes = nullptr)
    {
        // Not null, so that a failure has to clear it.
        IStream* stream = reinterpret_cast<IStream*>(this);
        const HRESULT result = provider_->OpenStreamForRead(name, &stream);
        if (FAILED(result)) {
            EXPECT_EQ(stream, nullptr) << "a failed open left something in `out`";
            return result;
        }
        const Owned<IStream> owned(stream);
        if (bytes)
            *bytes = hosttest::ReadToEnd(*stream);
        return result;
    }

    hosttest::TempFolder folder_;
    const std::filesystem::path root_ = folder_.Path() / "root";
    const std::vector<std::uint8_t> theme_ = hosttest::Pattern(70000);
    Owned<host::FileStorageProvider> provider_;
};

TEST_F(FileStorageProviderTest, ServesTheExactBytesWhicheverSeparatorTheNameUses)
{
    for (const char16_t* name :
         {u"music/theme.ogg", u"music\\theme.ogg", u"music>theme.ogg", u"\\music\\theme.ogg",
          u"//music//./theme.ogg", u"music/../music/theme.ogg"}) {
        std::vector<std::uint8_t> bytes;
        ASSERT_EQ(Open(name, &bytes), S_OK) << vytext::ToUtf8(name);
        EXPECT_EQ(bytes, theme_);
    }
}

TEST_F(FileStorageProviderTest, ServesNamesBeyondAscii)
{
    const std::vector<std::uint8_t> bytes = hosttest::Pattern(17);
    hosttest::WriteFile(root_ / std::filesystem::path(u8"m\u00fasica \u266a.bin"), bytes);
    std::vector<std::uint8_t> served;
    ASSERT_EQ(Open(u"m\u00fasica \u266a.bin", &served), S_OK);
    EXPECT_EQ(served, bytes);
}

TEST_F(FileStorageProviderTest, TellsMissingFromUnreadableWithDistinctFailures)
{
    EXPECT_EQ(Open(u"music/missing.ogg"), STG_E_FILENOTFOUND);
    EXPECT_EQ(Open(u"nowhere>theme.ogg"), STG_E_FILENOTFOUND);
    EXPECT_EQ(Open(u"music"), STG_E_ACCESSDENIED) << "a folder";
    EXPECT_EQ(Open(u"music\\"), STG_E_ACCESSDENIED) << "a folder";
}

TEST_F(FileStorageProviderTest, RefusesAFileWithoutReadPermission)
{
    hosttest::WriteFile(root_ / "locked.ogg", theme_);
    if (!hosttest::LockOut(root_ / "locked.ogg"))
        GTEST_SKIP() << "permission bits do not stop this user from reading";
    EXPECT_EQ(Open(u"locked.ogg"), STG_E_ACCESSDENIED);
    EXPECT_EQ(Open(u"music/theme.ogg"), S_OK);
}

TEST_F(FileStorageProviderTest, RefusesNamesThatLeaveTheRoot)
{
    for (const char16_t* name : {u"../outside.bin", u"..\\outside.bin", u"\\..\\outside.bin",
                                 u"music/../../outside.bin", u"music>..>..>outside.bin", u".."})
        EXPECT_EQ(Open(name), E_INVALIDARG) << vytext::ToUtf8(name);
}

TEST_F(FileStorageProviderTest, RefusesNullEmptyAndFilelessNames)
{
    for (const char16_t* name : {u"", u"/", u"\\>/", u".", u"music/.."})
        EXPECT_EQ(Open(name), E_INVALIDARG) << vytext::ToUtf8(name);
    EXPECT_EQ(Open(nullptr), E_INVALIDARG);
    EXPECT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", nullptr), E_INVALIDARG);
}

TEST_F(FileStorageProviderTest, EachStreamIsTheCallersOwnAndOutlivesTheProvider)
{
    IStream* first = nullptr;
    IStream* second = nullptr;
    ASSERT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", &first), S_OK);
    ASSERT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", &second), S_OK);
    const Owned<IStream> a(first);
    const Owned<IStream> b(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(provider_.release()->Release(), 0u) << "the provider had references left";

    ASSERT_EQ(first->Seek(100, STREAM_SEEK_SET, nullptr), S_OK);
    std::uint8_t one = 0;
    ASSERT_EQ(second->Read(&one, 1, nullptr), S_OK);
    EXPECT_EQ(one, theme_[0]) << "streams share a position";
    EXPECT_EQ(hosttest::ReadToEnd(*first).size(), theme_.size() - 100);
}

} // namespace
