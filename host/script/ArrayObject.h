// Arrays (PKQCreateArrayObject). Elements are numbered from 0; a negative
// number counts from the end (-1 is the last element). An element can be
// absent (a hole): growing an array by writing past its end leaves holes,
// and ArrayObject::Create can make them.
//
//   CountMembers (null name)  the length, holes included.
//   GetMemberByNumber         an element: 0 and its value. Out of range or a
//                             hole: -1001 with 0x0400, else 0 and void.
//   SetMemberByNumber         writes the element, growing the array (holes
//                             between); -1001 with 0x0400 when out of range
//                             or a hole; -1003 for a number before the start
//                             or at kMaxLength and beyond.
//   RemoveMemberByNumber      removes the element (later ones move down);
//                             -1001 when out of range.
//   CallMemberByNumber        calls the element's object with a null name
//                             (-1001 missing, -1005 not an object).
//   By name: "count" (GetMember: the length as an integer; SetMember:
//   resizes, new places are holes), "add" (CallMember: appends the first
//   argument, or void, and gives its index), and names that are decimal
//   numbers act as the by-number slots. Other names: -1001.
//   IsInstanceOf (null name): "Array" and "Object".
#pragma once

#include "DispatchObject.h"

#include <optional>
#include <vector>

namespace host {

class ArrayObject : public DispatchObject {
public:
    // Writes never grow an array beyond this many elements.
    static constexpr std::size_t kMaxLength = std::size_t{1} << 24;

    // A new array with one reference for the caller.
    static ArrayObject* Create(std::vector<std::optional<Variant>> elements = {});

    std::size_t Size() const { return elements_.size(); }
    // The element at `index`; null for a hole or out of range.
    const Variant* At(std::size_t index) const;
    void Push(const Variant& value);

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
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMemberByNumber(pkq_uint32 flags, pkq_int number,
                                          iPKQDispatch2* objThis) override;

protected:
    explicit ArrayObject(std::vector<std::optional<Variant>> elements);
    ~ArrayObject() override;
    bool IsClass(std::u16string_view className) const override;

private:
    // The element index of `number`, or -1 before the start.
    long long IndexOf(pkq_int number) const;
    std::vector<std::optional<Variant>> elements_;
};

} // namespace host
