// The default answers of the iPKQDispatch2 slots, written once for every
// script object: the plug-in's base (tPKQDispatch) and the reference host's
// (DispatchObject). Derived classes override what they handle.
//
//   by name  — PKQ_E_MEMBERNOTFOUND (−1001) when a name is given,
//              PKQ_E_NOTIMPL (−1002) when the name is null;
//   by number — the number written as decimal text and passed to the
//              by-name partner with a null hint; its answer;
//   CountMembers, EnumMembers and the reserved slots — PKQ_E_NOTIMPL.
//
// Reference counting and ApplyOperation (which needs a variant of the
// side's own) are left to the derived class; CheckedOperationCode gives the
// part of ApplyOperation both sides share.
//
// `NumberName` is constructed from a pkq_int and gives the decimal text
// with `const pkq_char* Text() const`: the plug-in asks the host to write
// it, the host writes it itself.
#pragma once

#include <vymultitrack/PkqDispatch.h>

template <typename NumberName> class PkqDispatchDefaults : public iPKQDispatch2 {
public:
    PkqDispatchDefaults(const PkqDispatchDefaults&) = delete;
    PkqDispatchDefaults& operator=(const PkqDispatchDefaults&) = delete;

    pkq_int VY_CDECL CallMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*, pkq_int,
                                tPKQVariant**, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result, pkq_int count,
                                        tPKQVariant** params, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return CallMember(flags, name.Text(), nullptr, result, count, params, objThis);
    }
    pkq_int VY_CDECL GetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return GetMember(flags, name.Text(), nullptr, result, objThis);
    }
    pkq_int VY_CDECL SetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, const tPKQVariant*,
                               iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value,
                                       iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return SetMember(flags, name.Text(), nullptr, value, objThis);
    }
    pkq_int VY_CDECL CountMembers(pkq_int*, const pkq_char*, pkq_uint32*, iPKQDispatch2*) override
    {
        return PKQ_E_NOTIMPL;
    }
    pkq_int VY_CDECL CountMembersByNumber(pkq_int* result, pkq_int number, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return CountMembers(result, name.Text(), nullptr, objThis);
    }
    pkq_int VY_CDECL EnumMembers(pkq_uint32, tPKQVariantClosure*, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL Reserved11(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL RemoveMember(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL RemoveMemberByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return RemoveMember(flags, name.Text(), nullptr, objThis);
    }
    pkq_int VY_CDECL CreateNew(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2**, pkq_int,
                               tPKQVariant**, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result, pkq_int count,
                                       tPKQVariant** params, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return CreateNew(flags, name.Text(), nullptr, result, count, params, objThis);
    }
    pkq_int VY_CDECL Invalidate(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL InvalidateByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return Invalidate(flags, name.Text(), nullptr, objThis);
    }
    pkq_int VY_CDECL IsValid(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL IsValidByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return IsValid(flags, name.Text(), nullptr, objThis);
    }
    pkq_int VY_CDECL Reserved20(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32, const pkq_char* name, pkq_uint32*, const pkq_char*,
                                  iPKQDispatch2*) override
    {
        return ByName(name);
    }
    pkq_int VY_CDECL IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number, const pkq_char* className,
                                          iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return IsInstanceOf(flags, name.Text(), nullptr, className, objThis);
    }
    pkq_int VY_CDECL ApplyOperationByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                            const tPKQVariant* operand, iPKQDispatch2* objThis) override
    {
        const NumberName name(number);
        return ApplyOperation(flags, name.Text(), nullptr, result, operand, objThis);
    }
    pkq_int VY_CDECL Reserved25(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL Reserved26(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL Reserved27(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }
    pkq_int VY_CDECL Reserved28(pkq_uint32, iPKQDispatch2*) override { return PKQ_E_NOTIMPL; }

protected:
    PkqDispatchDefaults() = default;
    ~PkqDispatchDefaults() = default;

    static pkq_int ByName(const pkq_char* name) { return name ? PKQ_E_MEMBERNOTFOUND : PKQ_E_NOTIMPL; }

    // ApplyOperation's code: the low five bits of `flags`, 1 to 16; the last
    // two (increment, decrement) take no operand. 0 when the code is out of
    // range or an operand it needs is missing (answer PKQ_E_INVALIDPARAM).
    static pkq_int CheckedOperationCode(pkq_uint32 flags, const tPKQVariant* operand)
    {
        const pkq_int code = static_cast<pkq_int>(flags & 0x1F);
        const bool takesNoOperand = code == 15 || code == 16;
        return code == 0 || code > 16 || (!operand && !takesNoOperand) ? 0 : code;
    }
};
