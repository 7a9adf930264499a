#include "Script.h"

#include "ScriptException.h"

#include <string>

namespace host {

namespace {

// Runs `op`, turning a tHMRExceptionDesc that plug-in code threw into a
// ScriptException (the plug-in's type stays inside the plug-in).
template <typename Op> auto Guarded(Op&& op) -> decltype(op())
{
    try {
        return op();
    } catch (const tHMRExceptionDesc& d) {
        throw ScriptException(layout::DescTypeRep(&d)->text, layout::DescMessageRep(&d)->text);
    }
}

std::vector<tPKQVariant*> Pointers(Args& args)
{
    std::vector<tPKQVariant*> p;
    p.reserve(args.size());
    for (Variant& a : args)
        p.push_back(a.pkq());
    return p;
}

} // namespace

CallResult ScriptObject::Call(std::u16string_view name, const Args& args, pkq_uint32 flags) const
{
    CallResult r;
    iPKQDispatch2* object = Object();
    if (!object) {
        r.code = PKQ_E_INVALIDOBJECT;
        return r;
    }
    String member(name);
    Args copy = args;
    std::vector<tPKQVariant*> params = Pointers(copy);
    const Variant keep = value_;
    r.code = Guarded([&] {
        return object->CallMember(flags, member.c_str(), member.Hint(), r.value.pkq(),
                                  static_cast<pkq_int>(params.size()),
                                  params.empty() ? nullptr : params.data(), This());
    });
    return r;
}

CallResult ScriptObject::Invoke(const Args& args) const
{
    CallResult r;
    iPKQDispatch2* object = Object();
    if (!object) {
        r.code = PKQ_E_INVALIDOBJECT;
        return r;
    }
    Args copy = args;
    std::vector<tPKQVariant*> params = Pointers(copy);
    const Variant keep = value_;
    r.code = Guarded([&] {
        return object->CallMember(0, nullptr, nullptr, r.value.pkq(),
                                  static_cast<pkq_int>(params.size()),
                                  params.empty() ? nullptr : params.data(), This());
    });
    return r;
}

CallResult ScriptObject::Get(std::u16string_view name, pkq_uint32 flags) const
{
    CallResult r;
    iPKQDispatch2* object = Object();
    if (!object) {
        r.code = PKQ_E_INVALIDOBJECT;
        return r;
    }
    String member(name);
    const Variant keep = value_;
    r.code = Guarded([&] {
        return object->GetMember(flags, member.c_str(), member.Hint(), r.value.pkq(), This());
    });
    return r;
}

pkq_int ScriptObject::Set(std::u16string_view name, const Variant& value, pkq_uint32 flags) const
{
    iPKQDispatch2* object = Object();
    if (!object)
        return PKQ_E_INVALIDOBJECT;
    String member(name);
    const Variant keep = value_;
    const Variant v = value;
    return Guarded(
        [&] { return object->SetMember(flags, member.c_str(), member.Hint(), v.pkq(), This()); });
}

pkq_int ScriptObject::Remove(std::u16string_view name, pkq_uint32 flags) const
{
    iPKQDispatch2* object = Object();
    if (!object)
        return PKQ_E_INVALIDOBJECT;
    String member(name);
    const Variant keep = value_;
    return Guarded(
        [&] { return object->RemoveMember(flags, member.c_str(), member.Hint(), This()); });
}

pkq_int ScriptObject::IsInstanceOf(std::u16string_view className) const
{
    iPKQDispatch2* object = Object();
    if (!object)
        return PKQ_E_INVALIDOBJECT;
    const std::u16string cls(className);
    const Variant keep = value_;
    return Guarded([&] { return object->IsInstanceOf(0, nullptr, nullptr, cls.c_str(), This()); });
}

pkq_int ScriptObject::Count() const
{
    iPKQDispatch2* object = Object();
    if (!object)
        return PKQ_E_INVALIDOBJECT;
    pkq_int n = 0;
    const Variant keep = value_;
    const pkq_int code =
        Guarded([&] { return object->CountMembers(&n, nullptr, nullptr, This()); });
    return code < 0 ? code : n;
}

CallResult ScriptObject::At(pkq_int number, pkq_uint32 flags) const
{
    CallResult r;
    iPKQDispatch2* object = Object();
    if (!object) {
        r.code = PKQ_E_INVALIDOBJECT;
        return r;
    }
    const Variant keep = value_;
    r.code =
        Guarded([&] { return object->GetMemberByNumber(flags, number, r.value.pkq(), This()); });
    return r;
}

pkq_int ScriptObject::SetAt(pkq_int number, const Variant& value, pkq_uint32 flags) const
{
    iPKQDispatch2* object = Object();
    if (!object)
        return PKQ_E_INVALIDOBJECT;
    const Variant keep = value_;
    const Variant v = value;
    return Guarded([&] { return object->SetMemberByNumber(flags, number, v.pkq(), This()); });
}

pkq_int ScriptObject::Push(const Variant& value) const
{
    const pkq_int n = Count();
    if (n < 0)
        return n;
    return SetAt(n, value, PKQ_MEMBERENSURE);
}

std::vector<Variant> ScriptObject::Elements() const
{
    std::vector<Variant> out;
    const pkq_int n = Count();
    for (pkq_int i = 0; i < n; ++i)
        out.push_back(At(i).value);
    return out;
}

ScriptObject Script::Global() const
{
    return ScriptObject(Variant::Object(runtime_.Global(), nullptr));
}

ScriptObject Script::WaveSoundBuffer() const
{
    CallResult r = Global().Get(u"WaveSoundBuffer");
    return ScriptObject(r.Ok() ? r.value : Variant());
}

CallResult Script::Call(std::u16string_view name, const Args& args) const
{
    return WaveSoundBuffer().Call(name, args);
}

CallResult Script::Get(std::u16string_view name) const
{
    return WaveSoundBuffer().Get(name);
}

pkq_int Script::Set(std::u16string_view name, const Variant& value) const
{
    return WaveSoundBuffer().Set(name, value);
}

Variant Array(std::initializer_list<Variant> elements)
{
    return Array(std::vector<Variant>(elements));
}

Variant Array(const std::vector<Variant>& elements)
{
    std::vector<std::optional<Variant>> e;
    e.reserve(elements.size());
    for (const Variant& v : elements)
        e.emplace_back(v);
    return Variant::Adopt(ArrayObject::Create(std::move(e)));
}

Variant ArrayWithHoles(std::vector<std::optional<Variant>> elements)
{
    return Variant::Adopt(ArrayObject::Create(std::move(elements)));
}

Variant Dictionary(std::initializer_list<std::pair<std::u16string, Variant>> members)
{
    DictionaryObject* d = DictionaryObject::Create(DictionaryObject::Kind::Dictionary);
    for (const auto& [name, value] : members)
        d->Put(name, value);
    return Variant::Adopt(d);
}

Variant Property(PropertyObject::Getter getter, PropertyObject::Setter setter)
{
    return Variant::Adopt(PropertyObject::Create(std::move(getter), std::move(setter)));
}

} // namespace host
