// The IUnknown part of a counted object handed across the interfaces:
// reference counting and interface discovery, written once for the host,
// the decoder modules and the tests.
#pragma once

#include <vymultitrack/Guid.h>
#include <vymultitrack/Unknown.h>

#include <atomic>

namespace vy {

// Implements `Interface` (an interface derived from IUnknown along a single
// chain) up to its own operations. QueryInterface answers IID_IUnknown and
// each id in `Iids`; the object is handed out as `Interface*` for all of them.
//
// Objects are made with `new` and start with one reference, owned by whoever
// made them; the last Release deletes the object. Derived classes keep their
// destructor private or protected so that nothing else deletes them. The
// count is atomic, so references may be added and dropped on any thread.
template <typename Interface, const IID&... Iids> class ComObject : public Interface {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // S_OK with `*out` = this object and one new reference when `iid` is
    // IID_IUnknown or one of `Iids`; E_NOINTERFACE with `*out` = null for
    // any other id; E_INVALIDARG, touching nothing, when `out` is null.
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_INVALIDARG;
        if (!Answers(iid)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        Interface* self = this;
        *out = iid == IID_IUnknown ? static_cast<void*>(static_cast<IUnknown*>(self))
                                   : static_cast<void*>(self);
        AddRef();
        return S_OK;
    }

    // Answers the new count.
    ULONG VY_STDCALL AddRef() override
    {
        return references_.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    // Answers the new count; deletes the object when it reaches 0. Releasing
    // an object that has no reference left is the caller's fault.
    ULONG VY_STDCALL Release() override
    {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    [[nodiscard]] static bool Answers(REFIID iid)
    {
        return iid == IID_IUnknown || ((iid == Iids) || ...);
    }

    std::atomic<ULONG> references_{1};
};

} // namespace vy
