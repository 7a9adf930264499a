#include "HostTestSupport.h"

#include "host/FileStorageProvider.h"

#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

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
    }

    // What OpenStreamForRead answers for `name` and the bytes it served; a
    // failure must store null.
    std::pair<HRESULT, std::vector<std::uint8_t>> Open(const char16_t* name)
    {
        IStream* stream = reinterpret_cast<IStream*>(this); // not null, so that a failure has to clear it
        const HRESULT result = provider_->OpenStreamForRead(name, &stream);
        EXPECT_EQ(stream != nullptr, SUCCEEDED(result)) << "a failed open left something in `out`";
        const Owned<IStream> owned(SUCCEEDED(result) ? stream : nullptr);
        return {result, owned ? hosttest::ReadToEnd(*owned) : std::vector<std::uint8_t>{}};
    }

    hosttest::TempFolder folder_;
    const std::filesystem::path root_ = folder_.Path() / "root";
    const std::vector<std::uint8_t> theme_ = hosttest::Pattern(70000);
    Owned<host::FileStorageProvider> provider_{host::FileStorageProvider::Create(root_)};
};

TEST_F(FileStorageProviderTest, ServesTheExactBytesTellsMissingFromUnreadableAndRefusesBadNames)
{
    hosttest::WriteFile(root_ / std::filesystem::path(u8"m\u00fasica \u266a.bin"), theme_);
    const std::pair<const char16_t*, HRESULT> cases[] = {
        // Any separator; names beyond ASCII.
        {u"music/theme.ogg", S_OK}, {u"music\\theme.ogg", S_OK}, {u"music>theme.ogg", S_OK}, {u"\\music\\theme.ogg", S_OK},
        {u"//music//./theme.ogg", S_OK}, {u"music/../music/theme.ogg", S_OK}, {u"m\u00fasica \u266a.bin", S_OK},
        {u"music/missing.ogg", STG_E_FILENOTFOUND}, {u"nowhere>theme.ogg", STG_E_FILENOTFOUND},
        {u"music/theme.ogg/below-a-file", STG_E_FILENOTFOUND},
        {u"music", STG_E_ACCESSDENIED}, {u"music\\", STG_E_ACCESSDENIED}, // folders
        // Names that leave the root, or name no file.
        {u"../outside.bin", E_INVALIDARG}, {u"..\\outside.bin", E_INVALIDARG}, {u"\\..\\outside.bin", E_INVALIDARG},
        {u"music/../../outside.bin", E_INVALIDARG}, {u"music>..>..>outside.bin", E_INVALIDARG}, {u"..", E_INVALIDARG},
        {u"", E_INVALIDARG}, {u"/", E_INVALIDARG}, {u"\\>/", E_INVALIDARG}, {u".", E_INVALIDARG},
        {u"music/..", E_INVALIDARG}, {nullptr, E_INVALIDARG},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(Open(name), std::pair(expected, expected == S_OK ? theme_ : std::vector<std::uint8_t>{}))
            << (name ? vytext::ToUtf8(name) : "null");
    }
    EXPECT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", nullptr), E_INVALIDARG);
}

TEST_F(FileStorageProviderTest, EachStreamIsTheCallersOwnAndOutlivesTheProvider)
{
    IStream* first = nullptr;
    IStream* second = nullptr;
    ASSERT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", &first), S_OK);
    ASSERT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", &second), S_OK);
    const Owned<IStream> a(first), b(second);
    EXPECT_EQ(provider_.release()->Release(), 0u) << "the provider had references left";
    ASSERT_EQ(first->Seek(100, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(hosttest::ReadToEnd(*second), theme_) << "streams share a position";
}

} // namespace
