// Decodes Ogg Opus (opusfile) and Ogg Vorbis (vorbisfile) files to float and
// prints, per file, the number of samples and a 64-bit FNV-1a hash of their
// bytes. It is built twice, against the project's static codec libraries
// and against the system's, and bench/bitexact.sh compares what the two
// print: one process cannot hold both copies of the libraries.
//
//   DecodeDump FILE...        (.opus through opusfile, anything else vorbisfile)
#include <opus/opusfile.h>
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Digest {
    std::uint64_t samples = 0;
    std::uint64_t hash = 0xcbf29ce484222325ull;

    void Add(const float* values, std::size_t count)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(values);
        for (std::size_t i = 0; i < count * sizeof(float); ++i)
            hash = (hash ^ bytes[i]) * 0x100000001b3ull;
        samples += count;
    }
};

bool DecodeOpus(const char* path, Digest& digest)
{
    int error = 0;
    OggOpusFile* file = op_open_file(path, &error);
    if (!file)
        return false;
    static float block[5760 * 8];
    int frames = 0;
    while ((frames = op_read_float(file, block, static_cast<int>(std::size(block)), nullptr)) > 0)
        digest.Add(block, static_cast<std::size_t>(frames) * static_cast<std::size_t>(op_channel_count(file, -1)));
    op_free(file);
    return frames == 0;
}

bool DecodeVorbis(const char* path, Digest& digest)
{
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0)
        return false;
    float** planes = nullptr;
    int section = 0;
    long frames = 0;
    static float interleaved[4096 * 8];
    while ((frames = ov_read_float(&file, &planes, 4096, &section)) > 0) {
        // A chained file may change its channel count from link to link.
        const int channels = ov_info(&file, section)->channels;
        if (channels > 8) {
            ov_clear(&file);
            return false;
        }
        for (long n = 0; n < frames; ++n)
            for (int c = 0; c < channels; ++c)
                interleaved[n * channels + c] = planes[c][n];
        digest.Add(interleaved, static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels));
    }
    ov_clear(&file);
    return frames == 0;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        Digest digest;
        const bool opus = path.size() > 5 && path.compare(path.size() - 5, 5, ".opus") == 0;
        if (!(opus ? DecodeOpus(argv[i], digest) : DecodeVorbis(argv[i], digest))) {
            std::fprintf(stderr, "DecodeDump: cannot decode %s\n", argv[i]);
            ++failures;
            continue;
        }
        std::printf("%s %llu %016llx\n", argv[i], static_cast<unsigned long long>(digest.samples),
                    static_cast<unsigned long long>(digest.hash));
    }
    return failures == 0 ? 0 : 1;
}
