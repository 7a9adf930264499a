// The mixers' scratch buffer: 32-bit words into which a source renders one
// block in its own sample type (float, or 16-bit samples two to a word),
// handed to the kernels as that type.
#pragma once

#include <cstdint>
#include <vector>

class MixScratch {
public:
    // Makes the buffer hold at least `words` words; it never shrinks, so once
    // it has reached the largest block nothing is allocated. `words` is
    // counted in 64 bits so that channels × frames cannot wrap. False, with
    // the buffer left as it was, when that many words cannot be held or
    // allocated. Never throws.
    [[nodiscard]] bool Grow(std::uint64_t words) noexcept;
    // Where the source renders.
    [[nodiscard]] void* Data() { return words.data(); }
    // The sample type of what the source renders: float, else 16-bit.
    void SetFloat(bool isFloat) { floatSamples = isFloat; }
    // Calls `mix` with the rendered samples as `const float*` or
    // `const std::int16_t*`.
    template <typename Mix> void WithSamples(Mix&& mix) const
    {
        if (floatSamples)
            mix(reinterpret_cast<const float*>(words.data()));
        else
            mix(reinterpret_cast<const std::int16_t*>(words.data()));
    }

private:
    std::vector<std::uint32_t> words = std::vector<std::uint32_t>(1);
    bool floatSamples = false;
};
