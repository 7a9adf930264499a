// An output file that appears whole or not at all: bytes go to a temporary
// file in the target's folder, which Commit renames over the target. A file
// neither committed nor kept is removed when the object goes, so a failed
// or interrupted run leaves nothing behind (and an older target untouched).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace mtrk {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { Abandon(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file. False with `error` when the target is a
    // folder or its folder cannot take a new file.
    [[nodiscard]] bool Open(const std::filesystem::path& target, std::string& error);
    [[nodiscard]] bool Write(const void* data, std::size_t size, std::string& error);
    // Overwrites bytes already written at `offset` (header fields).
    [[nodiscard]] bool WriteAt(std::uint64_t offset, const void* data, std::size_t size, std::string& error);
    // Closes the file and renames it over the target.
    [[nodiscard]] bool Commit(std::string& error);
    // Closes and removes the temporary file (nothing when none is open).
    void Abandon();

    [[nodiscard]] const std::filesystem::path& Target() const { return target_; }

private:
    bool Fail(std::string& error);

    std::FILE* file_ = nullptr;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
};

} // namespace mtrk
