#include "HostTestSupport.h"

#include "host/MemoryStorageProvider.h"

#include <gtest/gtest.h>

namespace {

using hosttest::Owned;

// Names match exactly once '\' and '>' are read as '/'; a file added again
// is replaced; each stream reads on its own, shows its file's faults and
// outlives the provider; requests and the streams served are counted.
TEST(MemoryStorageProvider, ServesItsFilesByName)
{
    Owned<host::MemoryStorageProvider> provider(host::MemoryStorageProvider::Create());
    const std::vector<std::uint8_t> theme = hosttest::Pattern(3000);
    provider->Add(u"music\\theme.ogg", hosttest::Pattern(5));
    provider->Add(u"music>theme.ogg", theme);
    host::StreamFaults faults;
    faults.failStat = true;
    provider->Add(u"broken.ogg", theme, faults);
    const auto open = [&](const char16_t* name, HRESULT expected) {
        IStream* stream = reinterpret_cast<IStream*>(&provider); // not null, so that a failure has to clear it
        EXPECT_EQ(provider->OpenStreamForRead(name, &stream), expected) << (name ? name[0] : '-');
        EXPECT_EQ(stream != nullptr, SUCCEEDED(expected));
        return Owned<IStream>(SUCCEEDED(expected) ? stream : nullptr);
    };
    for (const char16_t* name : {u"Music/theme.ogg", u"/music/theme.ogg", u"music//theme.ogg", u"music/theme.ogg ",
                                 u"theme.ogg", u""})
        open(name, STG_E_FILENOTFOUND);
    open(nullptr, E_INVALIDARG);
    EXPECT_EQ(provider->OpenStreamForRead(u"music/theme.ogg", nullptr), E_INVALIDARG);
    EXPECT_EQ(provider->OpenRequests(), 8u) << "whatever they answered";

    const Owned<IStream> first = open(u"music/theme.ogg", S_OK);
    const Owned<IStream> second = open(u"music\\theme.ogg", S_OK);
    const Owned<IStream> broken = open(u"broken.ogg", S_OK);
    EXPECT_EQ(provider->StreamsServed(), 3u);
    EXPECT_EQ(provider.release()->Release(), 0u) << "the provider had references left";
    ASSERT_EQ(first->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    EXPECT_EQ(hosttest::ReadToEnd(*second), theme);
    STATSTG stat{};
    EXPECT_EQ(broken->Stat(&stat, STATFLAG_NONAME), E_FAIL);
    EXPECT_EQ(first->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize, theme.size());
}

} // namespace
