// Helpers shared by the reference host's unit tests.
#pragma once

#include <vymultitrack/Stream.h>

#include <gtest/gtest.h>

#include <algorithm>
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
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

// Reads `stream` from its position to its end, 1000 bytes at a time.
inline std::vector<std::uint8_t> ReadToEnd(IStream& stream)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[1000];
    for (;;) {
        ULONG read = 0;
        const HRESULT result = stream.Read(chunk, sizeof chunk, &read);
        bytes.insert(bytes.end(), chunk, chunk + read);
        if (result != S_OK || read == 0)
            return bytes;
    }
}

// Takes every permission away from `path` and tells whether that stops this
// process from reading it (it does not for a privileged user such as root).
inline bool LockOut(const std::filesystem::path& path)
{
    std::filesystem::permissions(path, std::filesystem::perms::none);
    return !std::ifstream(path, std::ios::binary).is_open();
}

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vyhost-") + test->test_suite_name() + "-" + test->name() +
                           "-" + std::to_string(std::random_device{}());
        // Parameterised tests have '/' in their names.
        std::replace(name.begin(), name.end(), '/', '_');
        path_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace hosttest
