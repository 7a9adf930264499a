// Writes the benchmark stems into a folder for tools outside this build:
// stem1.opus .. stem8.opus and stem1.ogg .. stem8.ogg, and the lists
// opus.mtrk and vorbis.mtrk that play each set with every track at full
// gain through the built-in decoders.
//
//   vy_bench_stems DIR
#include "BenchStems.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteSet(const std::filesystem::path& folder, const char* extension, const char* list,
              std::vector<std::uint8_t> (*encode)(const std::vector<float>&))
{
    std::string text = "# The benchmark stems, every track at full gain.\n";
    for (int s = 0; s < bench::kStems; ++s) {
        const std::string name = "stem" + std::to_string(s + 1);
        const std::string file = name + extension;
        const std::vector<std::uint8_t> bytes = encode(testaudio::Synthesize(bench::StemShape(s)));
        Write(folder / file, bytes.data(), bytes.size());
        text.append(name).append("\t").append(file).append(s == 0 ? "\t*\n" : "\n");
    }
    Write(folder / list, text.data(), text.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vy_bench_stems DIR\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        WriteSet(folder, ".opus", "opus.mtrk",
                 [](const std::vector<float>& samples) { return testaudio::EncodeOpus(samples, 2, 48000); });
        WriteSet(folder, ".ogg", "vorbis.mtrk",
                 [](const std::vector<float>& samples) { return testaudio::EncodeVorbis(samples, 2, 48000); });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vy_bench_stems: %s\n", e.what());
        return 1;
    }
    return 0;
}
