// vyprobe <folder> <source>...: opens each source under <folder> through the
// plug-in's built-in Opus (.opus) and Vorbis (.ogg) decoders, prints its
// wave format and decodes it to the end. Exits 1 when any source fails.
#include <decoders/BuiltinModules.h>
#include <vymultitrack/AsciiCase.h>
#include <plugin/ProcessState.h>

#include <host/FileStorageProvider.h>

#include <vymultitrack/Utf16Text.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Probe(const std::string& source)
{
    const std::u16string name = vytext::ToUtf16(source);
    const std::u16string extension = AsciiLowerCase(name.substr(std::min(name.find_last_of(u'.'), name.size())));
    if (extension != u".opus" && extension != u".ogg") {
        std::fprintf(stderr, "vyprobe: %s: not an .opus or .ogg source\n", source.c_str());
        return false;
    }
    IHSSWaveDecoder* decoder =
        OpenBuiltinDecoder(extension == u".opus" ? BuiltinDecoderKind::Opus : BuiltinDecoderKind::Vorbis, name.c_str());
    if (!decoder) {
        std::fprintf(stderr, "vyprobe: %s: cannot open\n", source.c_str());
        return false;
    }
    HSSWaveFormat format{};
    const bool ok = decoder->GetFormat(&format) == S_OK;
    std::uint64_t frames = 0;
    if (ok) {
        std::vector<float> block(4096ull * format.channelCount);
        std::uint32_t rendered = 0;
        std::uint32_t status = 1;
        while (status == 1 && decoder->Render(block.data(), 4096, &rendered, &status) == S_OK)
            frames += rendered;
        std::printf("%s: %u Hz, %u channels, format 0x%X, seek %u, %llu samples, %u ms, decoded %llu\n",
                    source.c_str(), format.sampleRate, format.channelCount, format.sampleFormat,
                    format.seekCapability, static_cast<unsigned long long>(format.totalSamples),
                    format.totalMilliseconds, static_cast<unsigned long long>(frames));
    }
    decoder->Release();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: vyprobe <folder> <source>...\n");
        return 2;
    }
    host::FileStorageProvider* provider = host::FileStorageProvider::Create(argv[1]);
    TheProcessState().KeepStorageProvider(provider);
    provider->Release();
    bool ok = true;
    for (int i = 2; i < argc; ++i)
        ok = Probe(argv[i]) && ok;
    ReleaseBuiltinModules();
    TheProcessState().ReleaseStorageProvider();
    return ok ? 0 : 1;
}
