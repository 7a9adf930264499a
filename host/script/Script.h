// A small facade through which tests and tools act as a script would:
//
//   host::ScriptRuntime runtime;            // V2Link(runtime.Exporter()) ...
//   host::Script script(runtime);
//   auto r = script.Call(u"setMultiTrackMask", {u"bgm", host::Array({u"drums"}), 0.0, 500});
//   EXPECT_EQ(r.code, 0);
//   auto callbacks = script.Get(u"multiTrackOpenCallbacks").value;   // an array
//   host::ScriptObject(callbacks).Push(host::Function([&](const host::CallArgs& a) {
//       return host::Variant(a[0].AsText() == u"bgm");
//   }));
//
// Every call goes through the objects' iPKQDispatch2 slots exactly as the
// engine's script code would (member reads through properties, calls
// through function objects). A host exception a callee raises propagates
// as a ScriptException; a tHMRExceptionDesc thrown out of plug-in code is
// turned into a ScriptException with the same type and message.
#pragma once

#include "ArrayObject.h"
#include "DictionaryObject.h"
#include "FunctionObject.h"
#include "ScriptRuntime.h"
#include "Variant.h"

#include <initializer_list>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace host {

// The code and value of one script operation.
struct CallResult {
    pkq_int code = PKQ_S_OK;
    Variant value;
    bool Ok() const { return code >= 0; }
};

using Args = std::vector<Variant>;

// An object as a script holds it: an object variant (object and `this`).
class ScriptObject {
public:
    ScriptObject() = default;
    // `value` should hold an object; anything else gives a null object whose
    // operations answer -1006 (invalid object).
    explicit ScriptObject(Variant value) : value_(std::move(value)) {}

    iPKQDispatch2* Object() const { return value_.ObjectPtr(); }
    // The `this` calls pass: the value's own `this`, or the object.
    iPKQDispatch2* This() const { return value_.CallThis(); }
    const Variant& Value() const { return value_; }
    explicit operator bool() const { return Object() != nullptr; }

    // obj.name(args...)
    CallResult Call(std::u16string_view name, const Args& args = {}, pkq_uint32 flags = 0) const;
    CallResult Call(std::u16string_view name, std::initializer_list<Variant> args,
                    pkq_uint32 flags = 0) const
    {
        return Call(name, Args(args), flags);
    }
    // obj(args...): the object itself called (a function object).
    CallResult Invoke(const Args& args = {}) const;
    CallResult Invoke(std::initializer_list<Variant> args) const { return Invoke(Args(args)); }
    // obj.name
    CallResult Get(std::u16string_view name, pkq_uint32 flags = 0) const;
    // obj.name = value (creates the member: flags 0x0200 by default)
    pkq_int Set(std::u16string_view name, const Variant& value,
                pkq_uint32 flags = PKQ_MEMBERENSURE) const;
    // delete obj.name
    pkq_int Remove(std::u16string_view name, pkq_uint32 flags = 0) const;
    // obj instanceof className: 1 true, 2 false, negative on failure
    pkq_int IsInstanceOf(std::u16string_view className) const;

    // Arrays: the count, element n, element n = value, append.
    pkq_int Count() const; // negative result code when counting failed
    CallResult At(pkq_int number, pkq_uint32 flags = 0) const;
    pkq_int SetAt(pkq_int number, const Variant& value, pkq_uint32 flags = 0) const;
    pkq_int Push(const Variant& value) const;
    // The elements read with flags 0 (holes read as void).
    std::vector<Variant> Elements() const;

private:
    Variant value_;
};

// The script's view of a runtime: its global object and WaveSoundBuffer.
class Script {
public:
    explicit Script(ScriptRuntime& runtime) : runtime_(runtime) {}

    ScriptRuntime& Runtime() const { return runtime_; }
    // The global object, as HMRGetScriptDispatch would give it.
    ScriptObject Global() const;
    // global.WaveSoundBuffer, read as a script reads it.
    ScriptObject WaveSoundBuffer() const;

    // WaveSoundBuffer.name(args...), WaveSoundBuffer.name,
    // WaveSoundBuffer.name = value.
    CallResult Call(std::u16string_view name, const Args& args = {}) const;
    CallResult Call(std::u16string_view name, std::initializer_list<Variant> args) const
    {
        return Call(name, Args(args));
    }
    CallResult Get(std::u16string_view name) const;
    pkq_int Set(std::u16string_view name, const Variant& value) const;

private:
    ScriptRuntime& runtime_;
};

// ---- values ---------------------------------------------------------------

// A new array holding `elements` (the variant holds the only reference).
Variant Array(std::initializer_list<Variant> elements);
Variant Array(const std::vector<Variant>& elements);
// A new array with holes where an element is std::nullopt.
Variant ArrayWithHoles(std::vector<std::optional<Variant>> elements);
// A new dictionary holding `members`.
Variant Dictionary(std::initializer_list<std::pair<std::u16string, Variant>> members);
// An object value with a reference of its own on `object` (and `objThis`).
inline Variant ObjectValue(iPKQDispatch2* object, iPKQDispatch2* objThis = nullptr)
{
    return Variant::Object(object, objThis);
}

// A new function object from a callable; the variant holds the only
// reference. Accepted forms:
//   pkq_int(const CallArgs&)   answers its own result code;
//   Variant(const CallArgs&)   (or anything a Variant is made from) stores
//                              its value in the result and answers 0;
//   void(const CallArgs&)      answers 0, the result left as it is.
// To throw a script exception, throw host::ScriptException.
template <typename F> Variant Function(F&& f)
{
    using R = std::invoke_result_t<F&, const CallArgs&>;
    NativeFunction native;
    if constexpr (std::is_same_v<R, pkq_int>) {
        native = std::forward<F>(f);
    } else if constexpr (std::is_void_v<R>) {
        native = [fn = std::forward<F>(f)](const CallArgs& args) mutable -> pkq_int {
            fn(args);
            return PKQ_S_OK;
        };
    } else {
        native = [fn = std::forward<F>(f)](const CallArgs& args) mutable -> pkq_int {
            Variant value(fn(args));
            args.SetResult(value);
            return PKQ_S_OK;
        };
    }
    return Variant::Adopt(FunctionObject::Create(std::move(native)));
}

// A new property object (read-only without a setter).
Variant Property(PropertyObject::Getter getter, PropertyObject::Setter setter = {});

} // namespace host
