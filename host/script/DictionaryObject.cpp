#include "DictionaryObject.h"

#include "HostText.h"
#include "ScriptRuntime.h"

#include <vymultitrack/Utf16Text.h>

#include <utility>

namespace host {

namespace {
constexpr pkq_uint32 kMemberFlags = PKQ_MEMBERENSURE | PKQ_MEMBERMUSTEXIST | PKQ_IGNOREPROP;
}

bool IsPropertyValue(const Variant& value)
{
    iPKQDispatch2* object = value.ObjectPtr();
    return object &&
           object->IsInstanceOf(0, nullptr, nullptr, u"Property", value.CallThis()) == PKQ_S_TRUE;
}

void CheckHint(const pkq_char* name, pkq_uint32* hint)
{
    if (!hint || !name)
        return;
    const pkq_uint32 h = HashOf(name);
    if (*hint == 0) {
        *hint = h;
    } else if (*hint != h) {
        NoteHostFault("member \"" + vytext::ToUtf8(name) + "\" called with the hint " +
                      std::to_string(*hint) + " of another name (its own is " + std::to_string(h) +
                      ")");
    }
}

DictionaryObject* DictionaryObject::Create(Kind kind, std::u16string extraClassName)
{
    return new DictionaryObject(kind, std::move(extraClassName));
}

DictionaryObject::DictionaryObject(Kind kind, std::u16string extraClassName)
    : kind_(kind), extraClassName_(std::move(extraClassName))
{
}

DictionaryObject::~DictionaryObject()
{
    // Release the values one by one, each after it left the table.
    while (!members_.empty()) {
        auto node = members_.extract(members_.begin());
        (void)node; // destroyed here, releasing its value
    }
}

bool DictionaryObject::IsClass(std::u16string_view className) const
{
    if (!extraClassName_.empty() && className == extraClassName_)
        return true;
    switch (kind_) {
    case Kind::Class:
        return className == u"Class";
    case Kind::Dictionary:
        return className == u"Dictionary";
    default:
        return false;
    }
}

const Variant* DictionaryObject::Find(std::u16string_view name) const
{
    auto it = members_.find(name);
    return it == members_.end() ? nullptr : &it->second;
}

void DictionaryObject::Put(std::u16string_view name, const Variant& value)
{
    Variant copy = value;
    auto it = members_.find(name);
    if (it == members_.end()) {
        members_.emplace(std::u16string(name), std::move(copy));
    } else {
        std::swap(it->second, copy); // the old value leaves with `copy`
    }
}

bool DictionaryObject::Erase(std::u16string_view name)
{
    auto it = members_.find(name);
    if (it == members_.end())
        return false;
    auto node = members_.extract(it);
    return true; // `node` releases the value after the table is consistent
}

std::vector<std::u16string> DictionaryObject::Names() const
{
    std::vector<std::u16string> names;
    for (const auto& [name, value] : members_)
        names.push_back(name);
    return names;
}

pkq_int DictionaryObject::CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                     tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                     iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    const Variant* found = Find(name);
    if (!found)
        return PKQ_E_MEMBERNOTFOUND;
    const Variant member = *found; // keeps the function alive during the call
    iPKQDispatch2* object = member.ObjectPtr();
    if (!object)
        return PKQ_E_INVALIDTYPE;
    iPKQDispatch2* callThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
    return object->CallMember(flags & ~kMemberFlags, nullptr, nullptr, result, count, params,
                              callThis);
}

pkq_int DictionaryObject::GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    const Variant* found = Find(name);
    if (!found) {
        if (kind_ == Kind::Dictionary && !(flags & PKQ_MEMBERMUSTEXIST)) {
            if (result)
                Variant::View(*result).Clear();
            return PKQ_S_OK;
        }
        return PKQ_E_MEMBERNOTFOUND;
    }
    const Variant member = *found;
    if (!(flags & PKQ_IGNOREPROP) && IsPropertyValue(member)) {
        iPKQDispatch2* propThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
        return member.ObjectPtr()->GetMember(flags & ~kMemberFlags, nullptr, nullptr, result,
                                             propThis);
    }
    if (result)
        Variant::View(*result) = member;
    return PKQ_S_OK;
}

pkq_int DictionaryObject::SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    const tPKQVariant* value, iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    if (!value)
        return PKQ_E_INVALIDPARAM;
    CheckHint(name, hint);
    const Variant* found = Find(name);
    if (!found) {
        if ((flags & PKQ_MEMBERMUSTEXIST) || !(flags & PKQ_MEMBERENSURE))
            return PKQ_E_MEMBERNOTFOUND;
        Put(name, Variant::View(*value));
        return PKQ_S_OK;
    }
    if (!(flags & PKQ_IGNOREPROP)) {
        const Variant member = *found;
        if (IsPropertyValue(member)) {
            iPKQDispatch2* propThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
            return member.ObjectPtr()->SetMember(flags & ~kMemberFlags, nullptr, nullptr, value,
                                                 propThis);
        }
    }
    Put(name, Variant::View(*value));
    return PKQ_S_OK;
}

pkq_int DictionaryObject::RemoveMember(pkq_uint32, const pkq_char* name, pkq_uint32* hint,
                                       iPKQDispatch2*)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    return Erase(name) ? PKQ_S_OK : PKQ_E_MEMBERNOTFOUND;
}

pkq_int DictionaryObject::CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                       iPKQDispatch2* objThis)
{
    if (!name) {
        if (result)
            *result = static_cast<pkq_int>(members_.size());
        return PKQ_S_OK;
    }
    CheckHint(name, hint);
    const Variant* found = Find(name);
    if (!found)
        return PKQ_E_MEMBERNOTFOUND;
    const Variant member = *found;
    if (!member.ObjectPtr())
        return PKQ_E_INVALIDTYPE;
    iPKQDispatch2* memberThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
    return member.ObjectPtr()->CountMembers(result, nullptr, nullptr, memberThis);
}

pkq_int DictionaryObject::IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                       const pkq_char* className, iPKQDispatch2* objThis)
{
    if (!name)
        return DispatchObject::IsInstanceOf(flags, nullptr, nullptr, className, objThis);
    CheckHint(name, hint);
    const Variant* found = Find(name);
    if (!found)
        return PKQ_E_MEMBERNOTFOUND;
    const Variant member = *found;
    if (!member.ObjectPtr())
        return PKQ_E_INVALIDTYPE;
    iPKQDispatch2* memberThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
    return member.ObjectPtr()->IsInstanceOf(flags, nullptr, nullptr, className, memberThis);
}

} // namespace host
