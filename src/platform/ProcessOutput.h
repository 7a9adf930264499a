// The files a started program writes its output into, shared by the
// implementations of RunProcess: two fresh files in the temporary folder,
// read back and removed once the program has ended.
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
    }
    ~ProcessOutputFiles()
    {
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
        std::filesystem::remove(errors, ignored);
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

    std::filesystem::path output;
    std::filesystem::path errors;
};

} // namespace platform
