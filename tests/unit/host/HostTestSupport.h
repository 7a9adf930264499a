// Helpers shared by the reference host's unit tests.
#pragma once

#include <vymultitrack/Stream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace hosttest {

// Drops the reference a unique_ptr holds.
struct ReleaseReference {
    void operator()(IUnknown* object) const
    {
        if (object)
            object->Release();
    }
};

template <typename T> using Owned = std::unique_ptr<T, ReleaseReference>;

// `size` bytes that differ from their neighbours and do not repeat every 256.
inline std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() { std::filesystem::create_directories(path_); }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
    const std::filesystem::path path_ =
        std::filesystem::path(::testing::TempDir()) / ("vyhost-" + std::to_string(std::random_device{}()));
};

} // namespace hosttest
