// IUnknown for the module's objects: an atomic count starting at 1, the
// object deleted with the last Release, and QueryInterface answering
// IID_IUnknown and IID_IHSSObject.
#pragma once

#include <vymultitrack/Guid.h>
#include <vymultitrack/Unknown.h>

#include <atomic>

template <typename Interface>
class RefCounted : public Interface {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_INVALIDARG;
        if (iid == IID_IUnknown || iid == IID_IHSSObject) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG VY_STDCALL AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG VY_STDCALL Release() override
    {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    std::atomic<ULONG> references_{1};
};
