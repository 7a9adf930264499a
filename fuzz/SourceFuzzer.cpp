// Fuzz target for the source decoders. The input is one source file, opened
// by the decoder that byte 0 picks (its value % 4): the WAV decoder module
// (libvywav.so, through its own GetModuleInstance), the built-in Opus
// decoder on its automatic path, the built-in Opus decoder with the own Ogg
// Opus reader forced, or the built-in Vorbis decoder. (Byte 0 / 4) % 4
// picks how the stream behaves: plain, unable to seek (Stat and Seek
// fail), or delivering at most 61 bytes per Read. Byte 1 sets the block
// sizes, bytes 2 and 3 the seek targets; the rest is the file.
//
// Each run decodes to the end in odd block sizes (at most kFirstPassFrames
// frames), seeks to three positions (a share of the length, a small frame,
// past the end) and decodes a while after each; every block is checked.
#include "CheckedRender.h"
#include "FuzzBytes.h"

#include <decoders/BuiltinModules.h>
#include <decoders/Over8chSupportOpusDecoder.h>
#include <plugin/ProcessState.h>

#include <host/MemoryStorageProvider.h>
#include <host/PluginLibrary.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t kFirstPassFrames = 48000;
constexpr std::uint32_t kAfterSeekFrames = 6000;
// Blocks stay below this many samples whatever the channel count.
constexpr std::uint32_t kMaxBlockSamples = 1u << 16;

enum class Kind { Wav, OpusAutomatic, OpusOwnReader, Vorbis };

struct Fixture {
    host::MemoryStorageProvider* storage = nullptr;
    IHSSModule* wavModule = nullptr;
};

Fixture MakeFixture()
{
    static host::PluginLibrary wavLibrary;
    if (!wavLibrary.Load(VY_WAV_MODULE_PATH) || !wavLibrary.GetModuleInstance())
        fuzz::Fail("cannot load the WAV module");
    Fixture fixture;
    fixture.storage = host::MemoryStorageProvider::Create();
    TheProcessState().KeepStorageProvider(fixture.storage);
    if (wavLibrary.GetModuleInstance()(&fixture.wavModule, fixture.storage, nullptr, nullptr) != S_OK ||
        !fixture.wavModule)
        fuzz::Fail("the WAV module gave no module");
    return fixture;
}

const Fixture& TheFixture()
{
    static const Fixture fixture = MakeFixture();
    return fixture;
}

host::StreamFaults FaultsFor(std::uint32_t choice)
{
    host::StreamFaults faults;
    if (choice == 1) {
        faults.failStat = true;
        faults.failSeek = true;
    } else if (choice == 2) {
        faults.maxBytesPerRead = 61;
    }
    return faults;
}

IHSSWaveDecoder* OpenOwnReader(HSSStorageProvider* storage, const char16_t* name)
{
    IStream* stream = nullptr;
    if (storage->OpenStreamForRead(name, &stream) != S_OK || !stream)
        fuzz::Fail("the storage lost the source");
    auto* decoder = new Over8chSupportOpusDecoder(OpusDecodingPath::OwnReader);
    const bool opened = decoder->AttachStream(stream, name);
    stream->Release();
    if (opened)
        return decoder;
    decoder->Release();
    return nullptr;
}

IHSSWaveDecoder* Open(const Fixture& fixture, Kind kind)
{
    IHSSWaveDecoder* decoder = nullptr;
    switch (kind) {
    case Kind::Wav:
        if (fixture.wavModule->OpenMediaInstance(u"in.wav", &decoder) != S_OK) {
            if (decoder)
                decoder->Release();
            return nullptr;
        }
        return decoder;
    case Kind::OpusAutomatic:
        return OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"in.opus");
    case Kind::OpusOwnReader:
        return OpenOwnReader(fixture.storage, u"in.opus");
    case Kind::Vorbis:
        return OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"in.ogg");
    }
    return nullptr;
}

const char16_t* NameFor(Kind kind)
{
    switch (kind) {
    case Kind::Wav:
        return u"in.wav";
    case Kind::Vorbis:
        return u"in.ogg";
    default:
        return u"in.opus";
    }
}

// Decodes up to `limit` frames in odd blocks cycling through `sizes`.
void Decode(IHSSWaveDecoder* decoder, const HSSWaveFormat& format, const std::array<std::uint32_t, 4>& sizes,
            std::uint32_t limit)
{
    const std::uint32_t largest = std::max<std::uint32_t>(1, kMaxBlockSamples / format.channelCount);
    for (std::uint32_t done = 0, call = 0; done < limit; ++call) {
        const std::uint32_t frames = std::min({sizes[call % sizes.size()], largest, limit - done});
        const fuzz::RenderResult result = fuzz::RenderChecked(decoder, format, frames, false);
        if (result.status == 0 || result.rendered == 0)
            return;
        done += result.rendered;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Fixture& fixture = TheFixture();
    fuzz::FuzzBytes input(data, size);
    const std::uint8_t choice = input.Byte();
    const auto kind = static_cast<Kind>(choice % 4);
    const std::uint32_t block = input.Byte();
    const std::uint32_t seekA = input.Byte();
    const std::uint32_t seekB = input.Byte();
    const auto file = input.Rest();
    fixture.storage->Add(NameFor(kind), std::vector<std::uint8_t>(file.begin(), file.end()),
                         FaultsFor((choice / 4u) % 4u));

    IHSSWaveDecoder* decoder = Open(fixture, kind);
    if (!decoder)
        return 0;
    HSSWaveFormat format{};
    if (decoder->GetFormat(&format) == S_OK) {
        format = fuzz::FormatOrFail(decoder);
        const std::array<std::uint32_t, 4> sizes = {2 * block + 1, 1, 4095, 2 * (block * 7 % 256) + 3};
        Decode(decoder, format, sizes, kFirstPassFrames);
        const std::uint64_t targets[] = {format.totalSamples * seekA / 255, seekB * 131u,
                                         format.totalSamples + seekB};
        for (const std::uint64_t target : targets) {
            (void)decoder->SetPosition(target);
            Decode(decoder, format, sizes, kAfterSeekFrames);
        }
    }
    decoder->Release();
    return 0;
}
