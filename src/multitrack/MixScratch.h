// The mixers' scratch buffer: 32-bit words into which a source renders one
// block in its own sample type (float, or 16-bit samples two to a word).
#pragma once

#include <cstdint>
#include <vector>

// Makes `scratch` hold at least `words` words; it never shrinks, so once it
// has reached the largest block nothing is allocated. `words` is counted in
// 64 bits so that channels × frames cannot wrap. False, with `scratch` left
// as it was, when that many words cannot be held or allocated. Never throws.
[[nodiscard]] bool GrowScratch(std::vector<std::uint32_t>& scratch, std::uint64_t words) noexcept;
