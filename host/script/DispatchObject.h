// The base of every script object the reference host makes: reference
// counting and the default answers of all 29 iPKQDispatch2 slots.
//
// Defaults: a by-name slot answers -1001 when a name is given and -1002
// when it is null; each by-number slot forwards to its by-name partner with
// the number as decimal text (numbers are member names, as in the engine);
// CountMembers, EnumMembers and the reserved slots answer -1002;
// IsInstanceOf with a null name answers 1 for each class name IsClass
// accepts ("Object" always) and 2 otherwise; ApplyOperation reads the
// member, applies PKQDoVariantOperation and writes it back.
//
// Single-threaded: like the engine's script side, objects are used from one
// thread at a time and the reference count is not atomic.
#pragma once

#include "Variant.h"

#include <string_view>

namespace host {

class DispatchObject : public iPKQDispatch2 {
public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    pkq_uint32 VY_CDECL AddRef() override;
    pkq_uint32 VY_CDECL Release() override;
    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                        pkq_int count, tPKQVariant** params,
                                        iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CountMembersByNumber(pkq_int* result, pkq_int number,
                                          iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL EnumMembers(pkq_uint32 flags, tPKQVariantClosure* callback,
                                 iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved11(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMemberByNumber(pkq_uint32 flags, pkq_int number,
                                          iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CreateNew(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               iPKQDispatch2** result, pkq_int count, tPKQVariant** params,
                               iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result,
                                       pkq_int count, tPKQVariant** params,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Invalidate(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL InvalidateByNumber(pkq_uint32 flags, pkq_int number,
                                        iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsValid(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                             iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsValidByNumber(pkq_uint32 flags, pkq_int number,
                                     iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved20(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number,
                                          const pkq_char* className,
                                          iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, const tPKQVariant* operand,
                                    iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL ApplyOperationByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                            const tPKQVariant* operand,
                                            iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved25(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved26(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved27(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved28(pkq_uint32 flags, iPKQDispatch2* objThis) override;

    pkq_uint32 RefCount() const { return refCount_; }
    // Host objects alive now (all kinds, all runtimes): a leak check for tests.
    static long LiveObjects();

protected:
    DispatchObject();
    virtual ~DispatchObject();

    // The class names IsInstanceOf answers 1 for (besides "Object").
    virtual bool IsClass(std::u16string_view className) const;

    static pkq_int ByName(const pkq_char* name)
    {
        return name ? PKQ_E_MEMBERNOTFOUND : PKQ_E_NOTIMPL;
    }
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
