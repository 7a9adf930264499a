#include "HostTestSupport.h"

#include "host/MemoryStorageProvider.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using hosttest::Owned;

class MemoryStorageProviderTest : public ::testing::Test {
protected:
    MemoryStorageProviderTest() { provider_->Add(u"music\\theme.ogg", theme_); }

    // The stream OpenStreamForRead hands out for `name` and what it answered;
    // checks that a failure stores null.
    Owned<IStream> Open(const char16_t* name, HRESULT& result)
    {
        // Not null, so that a failure has to clear it.
        IStream* stream = reinterpret_cast<IStream*>(this);
        result = provider_->OpenStreamForRead(name, &stream);
        if (FAILED(result)) {
            EXPECT_EQ(stream, nullptr) << "a failed open left something in `out`";
        }
        return Owned<IStream>(SUCCEEDED(result) ? stream : nullptr);
    }

    const std::vector<std::uint8_t> theme_ = hosttest::Pattern(3000);
    Owned<host::MemoryStorageProvider> provider_{host::MemoryStorageProvider::Create()};
};

TEST_F(MemoryStorageProviderTest, ServesTheBytesUnderAnySpellingOfTheSeparators)
{
    for (const char16_t* name : {u"music\\theme.ogg", u"music/theme.ogg", u"music>theme.ogg"}) {
        HRESULT result = E_FAIL;
        const Owned<IStream> stream = Open(name, result);
        ASSERT_EQ(result, S_OK);
        EXPECT_EQ(hosttest::ReadToEnd(*stream), theme_);
    }
}

TEST_F(MemoryStorageProviderTest, ComparesNamesExactlyOtherwise)
{
    for (const char16_t* name : {u"Music/theme.ogg", u"/music/theme.ogg", u"music//theme.ogg",
                                 u"music/theme.ogg ", u"theme.ogg", u""}) {
        HRESULT result = S_OK;
        const Owned<IStream> stream = Open(name, result);
        EXPECT_EQ(result, STG_E_FILENOTFOUND);
    }
    HRESULT result = S_OK;
    EXPECT_EQ(Open(nullptr, result), nullptr);
    EXPECT_EQ(result, E_INVALIDARG);
    EXPECT_EQ(provider_->OpenStreamForRead(u"music/theme.ogg", nullptr), E_INVALIDARG);
}

TEST_F(MemoryStorageProviderTest, CountsRequestsAndTheStreamsItServed)
{
    HRESULT result = S_OK;
    EXPECT_EQ(provider_->OpenRequests(), 0u);
    {
        const Owned<IStream> served = Open(u"music/theme.ogg", result);
    }
    {
        const Owned<IStream> served = Open(u"music/theme.ogg", result);
    }
    {
        const Owned<IStream> missing = Open(u"missing", result);
    }
    EXPECT_EQ(provider_->OpenRequests(), 3u);
    EXPECT_EQ(provider_->StreamsServed(), 2u);
}

TEST_F(MemoryStorageProviderTest, StreamsShowTheFaultsOfTheirOwnFile)
{
    host::StreamFaults faults;
    faults.failStat = true;
    provider_->Add(u"broken.ogg", theme_, faults);
    HRESULT result = E_FAIL;
    const Owned<IStream> broken = Open(u"broken.ogg", result);
    ASSERT_EQ(result, S_OK);
    const Owned<IStream> sound = Open(u"music/theme.ogg", result);
    ASSERT_EQ(result, S_OK);

    STATSTG stat{};
    EXPECT_EQ(broken->Stat(&stat, STATFLAG_NONAME), E_FAIL);
    EXPECT_EQ(sound->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize, theme_.size());
}

TEST_F(MemoryStorageProviderTest, AddingAgainReplacesTheFile)
{
    const std::vector<std::uint8_t> replacement = hosttest::Pattern(5);
    provider_->Add(u"music>theme.ogg", replacement);
    HRESULT result = E_FAIL;
    const Owned<IStream> stream = Open(u"music/theme.ogg", result);
    ASSERT_EQ(result, S_OK);
    EXPECT_EQ(hosttest::ReadToEnd(*stream), replacement);
}

TEST_F(MemoryStorageProviderTest, EachStreamReadsOnItsOwnAndOutlivesTheProvider)
{
    HRESULT result = E_FAIL;
    const Owned<IStream> first = Open(u"music/theme.ogg", result);
    const Owned<IStream> second = Open(u"music/theme.ogg", result);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(provider_.release()->Release(), 0u) << "the provider had references left";

    ASSERT_EQ(first->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    EXPECT_EQ(hosttest::ReadToEnd(*second), theme_);
}

} // namespace
