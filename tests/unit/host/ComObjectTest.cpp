#include "host/ComObject.h"

#include <vymultitrack/HSSStorageProvider.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A counted object that tells, through `live`, whether it still exists.
class Probe final : public host::ComObject<HSSStorageProvider, IID_IHSSObject> {
public:
    explicit Probe(int& live) : live_(live) { ++live_; }

    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ~Probe() override { --live_; }

    int& live_;
};

TEST(ComObject, StartsWithOneReferenceAndTheLastReleaseDestroysIt)
{
    int live = 0;
    HSSStorageProvider* probe = new Probe(live);
    ASSERT_EQ(live, 1);

    EXPECT_EQ(probe->AddRef(), 2u);
    EXPECT_EQ(probe->AddRef(), 3u);
    EXPECT_EQ(probe->Release(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(live, 1) << "destroyed while a reference was left";
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(live, 0) << "the last Release did not destroy the object";
}

TEST(ComObject, QueryInterfaceAnswersIUnknownAndTheListedIdsWithANewReference)
{
    int live = 0;
    HSSStorageProvider* probe = new Probe(live);

    void* unknown = nullptr;
    ASSERT_EQ(probe->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(probe));
    void* listed = nullptr;
    ASSERT_EQ(probe->QueryInterface(IID_IHSSObject, &listed), S_OK);
    EXPECT_EQ(listed, probe);

    // Two references were added: three Releases destroy the object.
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 2u);
    EXPECT_EQ(static_cast<HSSStorageProvider*>(listed)->Release(), 1u);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(live, 0);
}

TEST(ComObject, QueryInterfaceRefusesOtherIdsAndANullOutWithoutAddingAReference)
{
    int live = 0;
    HSSStorageProvider* probe = new Probe(live);

    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(probe->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);

    EXPECT_EQ(probe->Release(), 0u) << "a refused query left a reference behind";
    EXPECT_EQ(live, 0);
}

TEST(ComObject, CountsReferencesTakenOnManyThreadsAtOnce)
{
    int live = 0;
    HSSStorageProvider* probe = new Probe(live);
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([probe] {
            for (int i = 0; i < kRounds; ++i)
                probe->AddRef();
            for (int i = 0; i < kRounds - 1; ++i)
                probe->Release();
        });
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(probe->AddRef(), static_cast<ULONG>(kThreads + 2));
    for (int i = 0; i < kThreads + 1; ++i)
        probe->Release();
    EXPECT_EQ(live, 1);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(live, 0);
}

} // namespace
