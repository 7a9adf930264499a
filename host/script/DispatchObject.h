// The base of every script object the reference host makes: reference
// counting and the default answers of all 29 iPKQDispatch2 slots.
//
// Defaults: those of PkqDispatchDefaults, and IsInstanceOf with a null name
// answers 1 for each class name IsClass
// accepts ("Object" always) and 2 otherwise; ApplyOperation reads the
// member, applies PKQDoVariantOperation and writes it back.
//
// Single-threaded: like the engine's script side, objects are used from one
// thread at a time and the reference count is not atomic.
#pragma once

#include "Variant.h"

#include <vymultitrack/PkqDispatchDefaults.h>

#include <string>
#include <string_view>

namespace host {

// The decimal text of a member number, as the engine turns numbers into
// names for the by-number slots.
class MemberNumberText {
public:
    explicit MemberNumberText(pkq_int number);
    const pkq_char* Text() const { return text_.c_str(); }

private:
    std::u16string text_;
};

class DispatchObject : public PkqDispatchDefaults<MemberNumberText> {
public:
    pkq_uint32 VY_CDECL AddRef() override;
    pkq_uint32 VY_CDECL Release() override;
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, const tPKQVariant* operand,
                                    iPKQDispatch2* objThis) override;

    pkq_uint32 RefCount() const { return refCount_; }
    // Host objects alive now (all kinds, all runtimes): a leak check for tests.
    static long LiveObjects();

protected:
    DispatchObject();
    virtual ~DispatchObject();

    // The class names IsInstanceOf answers 1 for (besides "Object").
    virtual bool IsClass(std::u16string_view className) const;

    iPKQDispatch2* ThisOr(iPKQDispatch2* objThis) { return objThis ? objThis : this; }

private:
    pkq_uint32 refCount_ = 1;
    bool destroying_ = false;
};

// Owns one reference to a host object (a small unique handle).
template <typename T> class Ref {
public:
    Ref() = default;
    explicit Ref(T* adopted) : p_(adopted) {}
    Ref(const Ref& o) : p_(o.p_)
    {
        if (p_)
            p_->AddRef();
    }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~Ref()
    {
        if (p_)
            p_->Release();
    }
    Ref& operator=(Ref o) noexcept
    {
        T* t = p_;
        p_ = o.p_;
        o.p_ = t;
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Gives up the reference to the caller.
    T* release()
    {
        T* t = p_;
        p_ = nullptr;
        return t;
    }

private:
    T* p_ = nullptr;
};

} // namespace host
