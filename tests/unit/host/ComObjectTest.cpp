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
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream**) override { return E_NOTIMPL; }

private:
    ~Probe() override { --live_; }
    int& live_;
};

// One reference to start with; QueryInterface answers IUnknown and the listed
// ids with a new reference each, refuses others (clearing `out`) and a null
// `out` without one; references taken on many threads at once are counted;
// the last Release destroys the object.
TEST(ComObject, CountsReferencesAndAnswersItsIds)
{
    int live = 0;
    HSSStorageProvider* probe = new Probe(live);
    void* unknown = nullptr;
    void* listed = nullptr;
    void* out = &live;
    ASSERT_EQ(probe->QueryInterface(IID_IUnknown, &unknown), S_OK);
    ASSERT_EQ(probe->QueryInterface(IID_IHSSObject, &listed), S_OK);
    EXPECT_EQ(probe->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(probe->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(std::tuple(unknown, listed, out), std::tuple(static_cast<IUnknown*>(probe), probe, nullptr));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([probe] {
            for (int i = 0; i < 20000; ++i)
                probe->AddRef();
            for (int i = 0; i < 20000; ++i)
                probe->Release();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 2u);
    EXPECT_EQ(static_cast<HSSStorageProvider*>(listed)->Release(), 1u);
    EXPECT_EQ(live, 1) << "destroyed while a reference was left";
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(live, 0) << "the last Release did not destroy the object";
}

} // namespace
