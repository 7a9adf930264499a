// The files a started program writes its output into, and the one it
// reads its input from, shared by the implementations of RunProcess: fresh
// files in the temporary folder, removed once the program has ended.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace platform {

class ProcessOutputFiles {
public:
    ProcessOutputFiles()
    {
        const std::string stem = "vy-process-" + std::to_string(std::random_device{}());
        const auto folder = std::filesystem::temp_directory_path();
        output = folder / (stem + ".out");
        errors = folder / (stem + ".err");
        input = folder / (stem + ".in");
    }
    ~ProcessOutputFiles()
    {
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
        std::filesystem::remove(errors, ignored);
        std::filesystem::remove(input, ignored);
    }
    ProcessOutputFiles(const ProcessOutputFiles&) = delete;
    ProcessOutputFiles& operator=(const ProcessOutputFiles&) = delete;

    static std::string Read(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // Writes the input file.
    void WriteInput(const std::string& bytes) const { std::ofstream(input, std::ios::binary) << bytes; }

    std::filesystem::path output;
    std::filesystem::path errors;
    std::filesystem::path input;
};

} // namespace platform
