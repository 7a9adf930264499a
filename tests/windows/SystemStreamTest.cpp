// The plug-in meets the system's own COM objects, as in the engine: a
// storage provider that answers with streams of the system's COM library
// (CreateStreamOnHGlobal), called through the slots the interfaces in
// include/ declare. Built for Windows only.
#include "SystemStream.h"

#include "integration/ScriptTestSupport.h"

#include <host/TestAudio.h>

#include <vymultitrack/ComObject.h>

#include <cstddef>
#include <map>

#include <type_traits>

namespace scripttest {
namespace {

// COM layout: an interface is one pointer to its table of slots, and no
// destructor takes a slot of its own.
template <typename Interface> constexpr bool kComLayout =
    sizeof(Interface) == sizeof(void*) && !std::has_virtual_destructor_v<Interface>;
static_assert(kComLayout<IUnknown> && kComLayout<IStream> && kComLayout<HSSStorageProvider> &&
              kComLayout<IHSSModule> && kComLayout<IHSSWaveDecoder>);

// Serves each file as a fresh system stream over its bytes.
class SystemStreamStorage final : public vy::ComObject<HSSStorageProvider> {
public:
    std::map<std::u16string, std::vector<std::uint8_t>> files;

    HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = nullptr;
        const auto file = name ? files.find(name) : files.end();
        if (file == files.end())
            return static_cast<HRESULT>(0x80030002); // STG_E_FILENOTFOUND
        *out = static_cast<IStream*>(systemcom::CreateMemoryStream(file->second));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
};

using SystemStreamTest = ScriptFaceTest;

TEST_F(SystemStreamTest, AListPlaysFromTheSystemsOwnStreamsAsFromTheHostsOwn)
{
    const systemcom::StatLayout layout = systemcom::SystemStatLayout();
    EXPECT_EQ(layout.size, sizeof(STATSTG));
    EXPECT_EQ(layout.sizeOffset, offsetof(STATSTG, cbSize));

    const std::vector<std::uint8_t> stem = testaudio::EncodeOpus(
        testaudio::Synthesize(testaudio::DistinctTones(2, kRate, kRate)), 2, kRate);
    const std::string list = "tones\ttones.opus\t*\n";
    SystemStreamStorage* system = new SystemStreamStorage;
    system->files[u"tones.opus"] = stem;
    system->files[u"tones.mtrk"] = std::vector<std::uint8_t>(list.begin(), list.end());

    // The slots the plug-in calls, on a system stream: Seek, Stat, Read.
    IStream* stream = nullptr;
    ASSERT_EQ(system->OpenStreamForRead(u"tones.opus", &stream), S_OK);
    std::uint64_t end = 0;
    EXPECT_EQ(stream->Seek(-4, STREAM_SEEK_END, &end), S_OK);
    EXPECT_EQ(end, stem.size() - 4);
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize, stem.size());
    std::uint8_t tail[8] = {};
    ULONG read = 0;
    // The system's memory stream answers a short read at the end with S_OK,
    // not S_FALSE: only the count tells.
    EXPECT_GE(stream->Read(tail, sizeof tail, &read), 0);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(stream->Release(), 0u);

    IHSSModule* module = nullptr;
    ASSERT_EQ(Plugin().getModuleInstance(&module, system, nullptr, nullptr), S_OK);
    IHSSWaveDecoder* decoder = nullptr;
    ASSERT_EQ(module->OpenMediaInstance(u"tones.mtrk", &decoder), S_OK);
    const Samples fromSystem = Render(decoder, kRate, 1000);
    EXPECT_EQ(decoder->Release(), 0u);
    module->Release();
    system->Release();

    storage->Add(u"tones.opus", stem);
    Add(u"tones.mtrk", list);
    IHSSWaveDecoder* reference = Open(u"tones.mtrk");
    ASSERT_NE(reference, nullptr);
    const Samples fromHost = Render(reference, kRate, 1000);
    EXPECT_EQ(reference->Release(), 0u);
    EXPECT_EQ(fromSystem.size(), std::size_t{kRate} * 2);
    ExpectSameSamples(fromSystem, fromHost);
}

} // namespace
} // namespace scripttest
