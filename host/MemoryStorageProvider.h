// The host's storage over files held in memory, for tests.
#pragma once

#include <vymultitrack/ComObject.h>
#include "StreamFaults.h"

#include <vymultitrack/HSSStorageProvider.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Serves byte vectors by name. Names are compared exactly once every '\\'
// and '>' has been written as '/' (no folders, no case folding, no "..").
// Each open hands out a MemoryStream over its own copy of the bytes, with
// the faults attached to that file. QueryInterface answers IID_IUnknown
// only. Safe to use from several threads at once.
class MemoryStorageProvider final : public vy::ComObject<HSSStorageProvider> {
public:
    // An empty provider with one reference for the caller.
    [[nodiscard]] static MemoryStorageProvider* Create();

    // Adds the file `name` (replacing one of the same name) with `bytes`;
    // streams opened on it afterwards show `faults`.
    void Add(std::u16string_view name, std::vector<std::uint8_t> bytes, StreamFaults faults = {});

    // Stores a MemoryStream with one reference for the caller through `out`.
    // Answers S_OK; STG_E_FILENOTFOUND when no file has that name;
    // E_INVALIDARG when `name` or `out` is null. `*out` is null after every
    // failure (when `out` is not null).
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) override;

    // How many OpenStreamForRead calls came in, whatever they answered.
    [[nodiscard]] std::size_t OpenRequests() const { return requests_.load(); }
    // How many of them handed out a stream.
    [[nodiscard]] std::size_t StreamsServed() const { return served_.load(); }

private:
    struct File {
        std::vector<std::uint8_t> bytes;
        StreamFaults faults;
    };

    MemoryStorageProvider() = default;
    ~MemoryStorageProvider() override = default;

    std::mutex mutex_;
    std::map<std::u16string, File> files_;
    std::atomic<std::size_t> requests_{0};
    std::atomic<std::size_t> served_{0};
};

} // namespace host
