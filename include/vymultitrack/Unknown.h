// IUnknown: reference counting and interface discovery in the COM manner.
// Whoever stores a pointer to a counted object holds one reference and
// releases it; an object deletes itself when its last reference goes.
#pragma once

#include "CallingConvention.h"
#include "Guid.h"
#include "Hresult.h"

#include <cstdint>

using ULONG = std::uint32_t;

struct IUnknown {
    // Stores this object through `out` with one new reference and answers
    // S_OK when it implements `iid`; otherwise stores null and answers
    // E_NOINTERFACE. A null `out` answers E_INVALIDARG.
    virtual HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) = 0;
    // Adds one reference; answers the new count.
    virtual ULONG VY_STDCALL AddRef() = 0;
    // Drops one reference, destroying the object with the last; answers the
    // new count (0 once destroyed).
    virtual ULONG VY_STDCALL Release() = 0;

protected:
    ~IUnknown() = default;
};
