// A single-producer, single-consumer ring of bytes without locks: the
// sound callback copies each block it hands out into it, and the main
// thread reads them back for the level meter. Sized once, up front; a
// write that does not fit is dropped whole, so the callback never waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mtrk {

class SampleRing {
public:
    explicit SampleRing(std::size_t capacity) : bytes_(capacity) {}

    // Producer: copies `size` bytes in, or nothing when they do not fit.
    void Write(const void* data, std::size_t size);
    // Consumer: moves up to `size` bytes out; answers how many.
    std::size_t Read(void* data, std::size_t size);

private:
    std::vector<unsigned char> bytes_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
};

} // namespace mtrk
