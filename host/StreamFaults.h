// Faults that a MemoryStream can be told to show, so that tests see how the
// plug-in's readers cope with a misbehaving source.
#pragma once

#include <vymultitrack/Hresult.h>
#include <vymultitrack/Unknown.h>

#include <cstdint>
#include <optional>

namespace host {

// Start from the default (no faults) and set the fields wanted by name; GCC
// 12 warns about designated initialisers that leave fields out.
struct StreamFaults {
    // Stat answers `failure` and leaves its record untouched.
    bool failStat = false;
    // Every Seek, including STREAM_SEEK_CUR 0, answers `failure` and leaves
    // the position.
    bool failSeek = false;
    // Reads break at this offset in bytes: a Read that would deliver the byte
    // there (or any later one) delivers only the bytes before it, stores
    // their count and answers `failure`. 0 makes every Read that has data
    // to deliver fail. Reads at or past the end of the data still answer
    // S_FALSE with 0 bytes.
    std::optional<std::uint64_t> failReadsAt;
    // When not 0, each Read delivers at most this many bytes and answers S_OK
    // when it stopped short only because of this limit, as a stream fed in
    // chunks does.
    ULONG maxBytesPerRead = 0;
    // What the injected failures answer: a failure code, or S_FALSE for a
    // stream that stops delivering without failing.
    HRESULT failure = E_FAIL;
};

} // namespace host
