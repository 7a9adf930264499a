// Objects with named members: the global object, class objects (such as
// "WaveSoundBuffer") and dictionaries (PKQCreateDictionaryObject). Member
// names are case-sensitive.
//
// By name (`name` not null):
//   GetMember    present: the value, or — when the value is a property
//                object (its IsInstanceOf "Property" answers 1) and 0x0800
//                is not given — what the property's GetMember with a null
//                name answers. Missing: -1001; except that a dictionary
//                without 0x0400 answers 0 and void (a dictionary reads
//                missing keys as void, as the engine's dictionaries do).
//   SetMember    present: replaces the value; when the value is a property
//                object and 0x0800 is not given, writes through the
//                property's SetMember with a null name instead. Missing:
//                created when 0x0200 is given, else -1001; 0x0400 with a
//                missing member answers -1001 even with 0x0200.
//   RemoveMember present: removed (its value released); missing: -1001.
//   CallMember   present with an object value: that object's CallMember
//                with a null name (flags, result and arguments passed on;
//                `this` = the value's own `this`, else the call's `this`,
//                else this object). Non-object value: -1005. Missing: -1001.
//   CountMembers / IsInstanceOf with a name: forwarded to the member's
//                object with a null name (-1001 missing, -1005 non-object).
// With a null name: CountMembers gives the number of members; IsInstanceOf
// answers for the object itself ("Object"; "Class" for class objects;
// "Dictionary" for dictionaries; plus an optional extra class name); the
// other slots answer -1002.
//
// A given hint is checked against the name: 0 is filled in with the
// name's hash (HashOf); a different non-zero hint is recorded as a fault of
// the caller (ScriptRuntime::Faults) and the name is used.
//
// A member's old value is released only after the table is consistent
// again, so releases that re-enter the object are safe.
#pragma once

#include "DispatchObject.h"

#include <map>
#include <string>
#include <vector>

namespace host {

class DictionaryObject : public DispatchObject {
public:
    enum class Kind { Object, Class, Dictionary };

    // A new object with one reference for the caller.
    static DictionaryObject* Create(Kind kind, std::u16string extraClassName = {});

    Kind GetKind() const { return kind_; }

    // Direct access for the host's C++ side (no flags, no properties).
    const Variant* Find(std::u16string_view name) const;
    void Put(std::u16string_view name, const Variant& value);
    bool Erase(std::u16string_view name);
    std::size_t Size() const { return members_.size(); }
    std::vector<std::u16string> Names() const;

    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override;

protected:
    DictionaryObject(Kind kind, std::u16string extraClassName);
    ~DictionaryObject() override;
    bool IsClass(std::u16string_view className) const override;

private:
    Kind kind_;
    std::u16string extraClassName_;
    std::map<std::u16string, Variant, std::less<>> members_;
};

// Whether `value` holds a property object (IsInstanceOf "Property" is 1).
bool IsPropertyValue(const Variant& value);

// Checks a hint against a member name (see DictionaryObject).
void CheckHint(const pkq_char* name, pkq_uint32* hint);

} // namespace host
