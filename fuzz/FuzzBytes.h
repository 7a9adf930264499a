// Reads a fuzz input front to back as small decisions: bytes, bounded
// numbers and the rest as a block. Past the end every read gives 0, so a
// target decodes any input, however short, into a complete run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace fuzz {

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    [[nodiscard]] bool Empty() const { return at_ >= bytes_.size(); }
    [[nodiscard]] std::size_t Remaining() const { return Empty() ? 0 : bytes_.size() - at_; }

    // The next byte; 0 past the end.
    std::uint8_t Byte();
    // A number in [0, bound] made of as many bytes as `bound` needs.
    std::uint32_t Below(std::uint32_t bound);
    // Everything not read yet; reading ends there.
    std::span<const std::uint8_t> Rest();
    // Up to `count` bytes widened to UTF-16 one unit per byte.
    std::u16string Text(std::size_t count);

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

} // namespace fuzz
