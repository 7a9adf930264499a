// The storage providers the plug-in reads its files through: what they
// serve, and what they answer for names they cannot serve.
#include "HostTestSupport.h"

#include "host/FileStorageProvider.h"
#include "host/MemoryStorageProvider.h"

#include <vymultitrack/Utf16Text.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// What `provider` answers for each name and the bytes it served; a failure
// must leave null in the out-parameter.
void ExpectAnswers(HSSStorageProvider& provider, const std::vector<std::pair<const char16_t*, HRESULT>>& rows,
                   const Bytes& served)
{
    for (const auto& [name, expected] : rows) {
        SCOPED_TRACE(name ? vytext::ToUtf8(name) : "null");
        IStream* raw = reinterpret_cast<IStream*>(&provider);
        EXPECT_EQ(provider.OpenStreamForRead(name, &raw), expected);
        ASSERT_EQ(raw != nullptr, SUCCEEDED(expected)) << "a failed open left something in `out`";
        const hosttest::Owned<IStream> stream(raw);
        Bytes bytes(served.size() + 1);
        ULONG read = 0;
        if (stream)
            stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + read), stream ? served : Bytes{});
    }
    EXPECT_EQ(provider.OpenStreamForRead(u"x", nullptr), E_INVALIDARG);
}

// Any separator; a missing file, a folder or an unreadable file is told
// apart, and names that leave the root or name no file are refused.
TEST(FileStorageProvider, ServesFilesUnderItsRootAndTellsWhyItCannot)
{
    hosttest::TempFolder folder;
    const std::filesystem::path root = folder.Path() / "root";
    std::filesystem::create_directories(root / "music");
    const Bytes theme = hosttest::Pattern(70000);
    for (const auto& path : {root / "music" / "theme.ogg", root / "locked.ogg", folder.Path() / "outside.bin"})
        hosttest::WriteFile(path, theme);
    std::filesystem::permissions(root / "locked.ogg", std::filesystem::perms::none);
    const bool lockedOut = !std::ifstream(root / "locked.ogg").is_open(); // a privileged user reads it anyway
    const hosttest::Owned<host::FileStorageProvider> provider(host::FileStorageProvider::Create(root));
    ExpectAnswers(*provider,
                  {{u"music/theme.ogg", S_OK}, {u"music\\theme.ogg", S_OK}, {u"\\music>theme.ogg", S_OK},
                   {u"//music/./theme.ogg", S_OK}, {u"music/missing.ogg", STG_E_FILENOTFOUND},
                   {u"music/theme.ogg/below", STG_E_FILENOTFOUND}, {u"music", STG_E_ACCESSDENIED},
                   {u"locked.ogg", lockedOut ? STG_E_ACCESSDENIED : S_OK}, {u"../outside.bin", E_INVALIDARG},
                   {u"music>..>..>outside.bin", E_INVALIDARG}, {u"", E_INVALIDARG}, {u"music/..", E_INVALIDARG},
                   {nullptr, E_INVALIDARG}},
                  theme);
}

// Names match exactly once '\' and '>' are read as '/'.
TEST(MemoryStorageProvider, ServesItsFilesByName)
{
    const hosttest::Owned<host::MemoryStorageProvider> provider(host::MemoryStorageProvider::Create());
    provider->Add(u"music>theme.ogg", hosttest::Pattern(3000));
    ExpectAnswers(*provider,
                  {{u"music/theme.ogg", S_OK}, {u"music\\theme.ogg", S_OK}, {u"Music/theme.ogg", STG_E_FILENOTFOUND},
                   {u"/music/theme.ogg", STG_E_FILENOTFOUND}, {u"theme.ogg", STG_E_FILENOTFOUND},
                   {u"", STG_E_FILENOTFOUND}, {nullptr, E_INVALIDARG}},
                  hosttest::Pattern(3000));
}

} // namespace
