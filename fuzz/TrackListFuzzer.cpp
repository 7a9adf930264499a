// Fuzz target for track lists. The input is a list, stored beside the
// small test sources in an in-memory storage, opened through the
// multi-track module's OpenMediaInstance as the engine opens it, and played
// in float and in 16-bit output: blocks of several sizes around an
// immediate, a faded and a delayed (several switch points) track-mask
// change and two seeks, then released.
//
// Byte 0 picks the form (its value % 3: ".mtrk" file, ".mchx" file, the
// inline ".mtrk" name) and, with its value / 3, the block sizes and seek
// targets. The rest is the list's text, or for the inline form its name
// (one UTF-16 unit per byte, ".mtrk" appended).
#include "CheckedRender.h"
#include "FuzzBytes.h"
#include "PluginEntryPoints.h"
#include "TestSources.h"
#include "WavModulePreload.h"

#include <multitrack/decoder/MultiTrackDecoder.h>
#include <multitrack/decoder/MultiTrackModule.h>
#include <multitrack/lists/TrackListFile.h>

#include <host/MemoryStorageProvider.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Fixture {
    host::MemoryStorageProvider* storage = nullptr;
    IHSSModule* floatModule = nullptr;
    IHSSModule* sixteenBitModule = nullptr;
};

Fixture MakeFixture()
{
    Fixture fixture;
    fixture.storage = host::MemoryStorageProvider::Create();
    for (const fuzz::TestSource& source : fuzz::TestSources())
        fixture.storage->Add(source.name, source.bytes);
    if (GetModuleInstance(&fixture.floatModule, fixture.storage, nullptr, nullptr) != S_OK || !fixture.floatModule)
        fuzz::Fail("GetModuleInstance gave no module");
    // The module the plug-in hands a host whose sound output takes 16-bit
    // samples.
    fixture.sixteenBitModule = new MultiTrackModule(fixture.storage, true);
    fuzz::LinkWavModule();
    fuzz::SilenceRegistryLog();
    return fixture;
}

const Fixture& TheFixture()
{
    static const Fixture fixture = MakeFixture();
    return fixture;
}

// The names the list gives its tracks, as the plug-in's reader finds them,
// and one that no track has.
std::vector<std::u16string> TrackNames(HSSStorageProvider* storage, const std::u16string& url)
{
    const TrackListDescription list = ReadTrackListFile(storage, url.c_str());
    std::vector<std::u16string> names;
    for (const ListedSource& source : list.sources)
        names.insert(names.end(), source.trackNames.begin(), source.trackNames.end());
    for (const ListedChannelTrack& track : list.channelTracks)
        names.push_back(track.name);
    names.push_back(u"no such track");
    return names;
}

class Session {
public:
    Session(IHSSWaveDecoder* decoder, std::uint32_t seed) : decoder_(decoder), seed_(seed)
    {
        multiTrack_ = dynamic_cast<MultiTrackDecoder*>(decoder);
        if (!multiTrack_)
            fuzz::Fail("the module's decoder takes no track masks");
        format_ = fuzz::FormatOrFail(decoder);
    }

    const HSSWaveFormat& Format() const { return format_; }

    void Render()
    {
        seed_ = seed_ * 1103515245u + 12345u;
        (void)fuzz::RenderChecked(decoder_, format_, 1 + (seed_ >> 8) % 1500, true);
    }
    void Seek()
    {
        seed_ = seed_ * 1103515245u + 12345u;
        (void)decoder_->SetPosition((seed_ >> 8) % 6000);
    }
    void Mask(const std::vector<const char16_t*>& names, float volume, std::uint32_t fadeMs)
    {
        (void)multiTrack_->SetTrackMask(names.data(), static_cast<std::uint32_t>(names.size()), volume, fadeMs);
    }
    void DelayedMask(const std::vector<const char16_t*>& names)
    {
        multiTrack_->BeginDelayedMask();
        Mask(names, 1.0f, 3);
        Mask({}, 0.25f, 0);
        const std::uint64_t points[] = {(seed_ >> 4) % 7000, 100, 37, 4799, 4800};
        multiTrack_->CommitDelayedMask(points, 5);
    }

private:
    IHSSWaveDecoder* decoder_;
    MultiTrackDecoder* multiTrack_ = nullptr;
    HSSWaveFormat format_{};
    std::uint32_t seed_;
};

// `loudVolume` is set on the first track late in the run: for 16-bit output
// a level no sample can hold, which the conversion must survive.
void Play(IHSSModule* module, const std::u16string& url, const std::vector<std::u16string>& names,
          std::uint32_t sampleFormat, std::uint32_t seed, float loudVolume)
{
    IHSSWaveDecoder* decoder = nullptr;
    if (module->OpenMediaInstance(url.c_str(), &decoder) != S_OK) {
        if (decoder)
            fuzz::Fail("a failed open handed out a decoder");
        return;
    }
    if (!decoder)
        fuzz::Fail("an open that succeeded handed out no decoder");
    Session session(decoder, seed);
    if (session.Format().sampleFormat != sampleFormat)
        fuzz::Fail("the stream's sample format is not the module's");
    std::vector<const char16_t*> selected;
    for (const std::u16string& name : names)
        selected.push_back(name.c_str());
    session.Render();
    session.Mask({}, 0.5f, 0);
    session.Render();
    session.Mask(selected, 0.0f, 5);
    session.Render();
    session.DelayedMask(selected);
    session.Render();
    session.Render();
    session.Seek();
    session.Render();
    session.Mask({selected.front()}, loudVolume, 0);
    session.Seek();
    session.Render();
    decoder->Release();
}

std::u16string StoreList(host::MemoryStorageProvider* storage, int form, fuzz::FuzzBytes& input)
{
    if (form == 2) {
        std::u16string name = input.Text(input.Remaining());
        return name + u".mtrk";
    }
    const std::u16string url = form == 0 ? u"list.mtrk" : u"list.mchx";
    const auto text = input.Rest();
    storage->Add(url, std::vector<std::uint8_t>(text.begin(), text.end()));
    return url;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Fixture& fixture = TheFixture();
    fuzz::FuzzBytes input(data, size);
    const std::uint8_t first = input.Byte();
    const std::u16string url = StoreList(fixture.storage, first % 3, input);
    const std::vector<std::u16string> names = TrackNames(fixture.storage, url);
    const float beyondInt16[] = {1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    Play(fixture.floatModule, url, names, kSampleFormatFloat32, first / 3u, 2.0f);
    Play(fixture.sixteenBitModule, url, names, kSampleFormatInt16, first / 3u + 7u, beyondInt16[first % 4]);
    return 0;
}
