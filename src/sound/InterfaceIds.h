// The QueryInterface answer shared by every module and decoder class: each
// answers exactly IID_IUnknown and IID_IHSSObject.
#pragma once

#include <vymultitrack/Guid.h>
#include <vymultitrack/Unknown.h>

// Null `out` → E_INVALIDARG. A listed id → stores `self` with one new
// reference and answers S_OK; any other id → stores null, E_NOINTERFACE.
[[nodiscard]] inline HRESULT AnswerQueryInterface(IUnknown* self, REFIID iid, void** out)
{
    if (!out)
        return E_INVALIDARG;
    if (iid == IID_IUnknown || iid == IID_IHSSObject) {
        *out = self;
        self->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
