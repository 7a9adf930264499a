// The host may take and drop references to modules and decoders on its
// render thread and its main thread at once.
#include "PluginStateGuard.h"

#include <decoders/BuiltinModules.h>
#include <multitrack/decoder/MultiTrackModule.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include <thread>
#include <vector>

namespace {

template <typename Object>
void HammerReferences(Object* object, int threads, int rounds)
{
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([object, rounds] {
            for (int i = 0; i < rounds; ++i) {
                object->AddRef();
                object->Release();
            }
        });
    for (std::thread& worker : workers)
        worker.join();
}

} // namespace

using ReferenceCountTest = PluginStateTest;

TEST_F(ReferenceCountTest, ModulesAndDecodersCountReferencesFromManyThreads)
{
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    provider->Add(u"a.opus", testaudio::EncodeOpus(testaudio::Synthesize(testaudio::DistinctTones(1, 960)), 1, 48000));
    TheProcessState().KeepStorageProvider(provider);

    IHSSWaveDecoder* decoder = OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus");
    ASSERT_NE(decoder, nullptr);
    HammerReferences(decoder, 4, 20000);
    EXPECT_EQ(decoder->AddRef(), 2u);
    EXPECT_EQ(decoder->Release(), 1u);
    EXPECT_EQ(decoder->Release(), 0u);

    IHSSModule* module = new MultiTrackModule(provider, false);
    HammerReferences(module, 4, 20000);
    EXPECT_EQ(module->Release(), 0u);

    Reset();
    provider->Release();
}
