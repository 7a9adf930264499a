// Replays inputs through a fuzz target's LLVMFuzzerTestOneInput, for builds
// without libFuzzer: every regular file of each folder named on the command
// line (names starting with '.' left out, in name order), or a file named
// directly. Exits 0 when all ran; a crash stops it as it would stop the
// fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsIn(const std::filesystem::path& path)
{
    if (!std::filesystem::is_directory(path))
        return {path};
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

bool Replay(const std::filesystem::path& input)
{
    std::ifstream file(input, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::printf("replaying %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    std::fflush(stdout);
    (void)LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i)
        for (const std::filesystem::path& input : InputsIn(argv[i])) {
            if (!Replay(input))
                return 1;
            ++replayed;
        }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
