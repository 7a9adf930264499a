#include "SampleRing.h"

#include <algorithm>
#include <cstring>

namespace mtrk {

void SampleRing::Write(const void* data, std::size_t size)
{
    const std::uint64_t written = written_.load(std::memory_order_relaxed);
    if (size > bytes_.size() - (written - read_.load(std::memory_order_acquire)))
        return;
    const auto* from = static_cast<const unsigned char*>(data);
    const std::size_t at = written % bytes_.size();
    const std::size_t first = std::min(size, bytes_.size() - at);
    std::memcpy(bytes_.data() + at, from, first);
    std::memcpy(bytes_.data(), from + first, size - first);
    written_.store(written + size, std::memory_order_release);
}

std::size_t SampleRing::Read(void* data, std::size_t size)
{
    const std::uint64_t read = read_.load(std::memory_order_relaxed);
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, written_.load(std::memory_order_acquire) - read));
    auto* to = static_cast<unsigned char*>(data);
    const std::size_t at = read % bytes_.size();
    const std::size_t first = std::min(size, bytes_.size() - at);
    std::memcpy(to, bytes_.data() + at, first);
    std::memcpy(to + first, bytes_.data(), size - first);
    read_.store(read + size, std::memory_order_release);
    return size;
}

} // namespace mtrk
