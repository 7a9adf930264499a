// An IStream over bytes held in memory, with optional injected faults.
#pragma once

#include "ReadOnlyStream.h"
#include "StreamFaults.h"

#include <cstdint>
#include <vector>

namespace host {

// Reads a byte vector it owns. Read, Seek and Stat behave as ReadOnlyStream
// describes, except where `faults` (see StreamFaults) say otherwise.
class MemoryStream final : public ReadOnlyStream {
public:
    // A stream over `bytes` with one reference for the caller, positioned at
    // the start.
    [[nodiscard]] static IStream* Create(std::vector<std::uint8_t> bytes, StreamFaults faults = {});

    // Answers `faults.failure` when told to fail, otherwise as ReadOnlyStream.
    HRESULT VY_STDCALL Stat(STATSTG* stat, DWORD flags) override;

private:
    MemoryStream(std::vector<std::uint8_t> bytes, StreamFaults faults);
    ~MemoryStream() override = default;

    [[nodiscard]] std::uint64_t Size() const override;
    [[nodiscard]] HRESULT ReadAtPosition(void* buffer, ULONG size, ULONG& count) override;
    [[nodiscard]] HRESULT MoveTo(std::uint64_t position) override;

    std::vector<std::uint8_t> bytes_;
    StreamFaults faults_;
};

} // namespace host
