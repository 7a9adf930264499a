// The host's storage: every file the plug-in reads is opened through it.
#pragma once

#include "Stream.h"
#include "Unknown.h"

struct HSSStorageProvider : IUnknown {
    // Opens `name` (a zero-terminated storage name) for reading. On success
    // answers a non-negative code and stores an IStream with one reference
    // for the caller through `out`; on failure answers a negative code (which
    // code tells why) and stores null.
    virtual HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) = 0;

protected:
    ~HSSStorageProvider() = default;
};
