// The 52 host functions and the exporter's table of them. Each
// function has exactly the type HostFunctionTypes.h gives its signature
// (the table below checks it at compile time).
#include "ArrayObject.h"
#include "DictionaryObject.h"
#include "HostText.h"
#include "ScriptException.h"
#include "ScriptRuntime.h"
#include "Variant.h"
#include "VariantOperation.h"

#include <vymultitrack/HostFunctionTypes.h>
#include <vymultitrack/Utf16Text.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>

namespace host {

namespace {

using layout::DataOf;
using layout::RepOf;
using layout::StringRep;
using layout::VariantData;

const std::u16string& TextOf(const tPKQString& s)
{
    return RepOf(&s)->text;
}

void SetText(tPKQString* s, std::u16string text)
{
    StringRep* rep = RepOf(s);
    rep->text = std::move(text);
    rep->hint = 0;
}

std::u16string_view CharsOf(const pkq_char* text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

[[noreturn]] void NotAnObject(const char* what)
{
    NoteHostFault(std::string(what) + " on a variant that holds no object");
    throw ScriptException(ScriptException::kHostError, u"variant holds no object");
}

// ---- global functions --------------------------------------------------------

iPKQDispatch2* VY_CDECL HMRGetScriptDispatch()
{
    ScriptRuntime* rt = ScriptRuntime::Current();
    return rt ? rt->GlobalForCaller() : nullptr;
}

pkq_char* VY_CDECL PKQ_int_to_str(pkq_int value, pkq_char* buffer)
{
    if (!buffer)
        return nullptr;
    const std::u16string text = IntegerToText(value);
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(pkq_char));
    return buffer;
}

void VY_CDECL PKQDoVariantOperation(pkq_int op, tPKQVariant& target, const tPKQVariant* operand)
{
    DoVariantOperation(op, Variant::View(target), operand ? &Variant::View(*operand) : nullptr);
}

// The exception a try block ended with, as a record for the catch function.
struct Caught {
    std::u16string type;
    std::u16string message;
    std::exception_ptr exception;
};

// A tHMRExceptionDesc built in raw storage from host strings (the plug-in's
// tPKQString constructors are not the host's to call).
class RawDesc {
public:
    RawDesc(const std::u16string& type, const std::u16string& message)
    {
        tHMRExceptionDesc* desc = layout::DescIn(storage_);
        layout::DescTypeRep(desc) = new StringRep{type, 0};
        layout::DescMessageRep(desc) = new StringRep{message, 0};
    }
    ~RawDesc()
    {
        tHMRExceptionDesc* desc = layout::DescIn(storage_);
        delete layout::DescTypeRep(desc);
        delete layout::DescMessageRep(desc);
    }
    RawDesc(const RawDesc&) = delete;
    RawDesc& operator=(const RawDesc&) = delete;
    const tHMRExceptionDesc& Get() { return *layout::DescIn(storage_); }

private:
    alignas(tHMRExceptionDesc) unsigned char storage_[sizeof(tHMRExceptionDesc)];
};

// try → (on a host exception) catch → finally. A host exception is a
// ScriptException, a tHMRExceptionDesc thrown by plug-in code inside the
// try block (a nested wrapper), or any std::exception (type
// "std::exception", message what()). What the catch function throws
// propagates after the finally function has run; when it returns true the
// original exception is thrown again (after finally). Other exceptions run
// finally and propagate.
void VY_CDECL HMRDoTryBlock(tHMRTryBlockFunction tryBlock, tHMRCatchBlockFunction catchBlock,
                            tHMRFinallyBlockFunction finallyBlock, void* data)
{
    std::optional<Caught> caught;
    try {
        if (tryBlock)
            tryBlock(data);
    } catch (const ScriptException& e) {
        caught = Caught{e.Type(), e.Message(), std::current_exception()};
    } catch (const tHMRExceptionDesc& d) {
        caught = Caught{layout::DescTypeRep(&d)->text, layout::DescMessageRep(&d)->text,
                        std::current_exception()};
    } catch (const std::exception& e) {
        caught = Caught{u"std::exception", vytext::ToUtf16(e.what()), std::current_exception()};
    } catch (...) {
        if (finallyBlock)
            finallyBlock(data);
        throw;
    }
    if (caught) {
        bool rethrow = false;
        try {
            RawDesc desc(caught->type, caught->message);
            rethrow = catchBlock ? catchBlock(data, desc.Get()) : false;
        } catch (...) {
            if (finallyBlock)
                finallyBlock(data);
            throw;
        }
        if (finallyBlock)
            finallyBlock(data);
        if (rethrow)
            std::rethrow_exception(caught->exception);
        return;
    }
    if (finallyBlock)
        finallyBlock(data);
}

void VY_CDECL HMRAddLog(const ttstr& text)
{
    if (ScriptRuntime* rt = ScriptRuntime::Current())
        rt->AddLog(TextOf(text), 0);
    else
        std::fprintf(stderr, "[log] %s\n", vytext::ToUtf8(TextOf(text)).c_str());
}

void VY_CDECL HMRAddImportantLog(const ttstr& text)
{
    if (ScriptRuntime* rt = ScriptRuntime::Current())
        rt->AddLog(TextOf(text), 1);
    else
        std::fprintf(stderr, "[LOG!] %s\n", vytext::ToUtf8(TextOf(text)).c_str());
}

pkq_int VY_CDECL PKQ_stricmp(const pkq_char* a, const pkq_char* b)
{
    return CompareIgnoringCase(a, b);
}

// `classOut`, when given, receives null: this host has no array or
// dictionary class objects. Null, when the runtime is told to fail it.
iPKQDispatch2* VY_CDECL PKQCreateArrayObject(iPKQDispatch2** classOut)
{
    if (classOut)
        *classOut = nullptr;
    ScriptRuntime* runtime = ScriptRuntime::Current();
    if (runtime && runtime->TakeArrayCreationFailure())
        return nullptr;
    return ArrayObject::Create();
}

iPKQDispatch2* VY_CDECL PKQCreateDictionaryObject(iPKQDispatch2** classOut)
{
    if (classOut)
        *classOut = nullptr;
    return DictionaryObject::Create(DictionaryObject::Kind::Dictionary);
}

bool VY_CDECL HMRGetCommandLine(const pkq_char* name, tPKQVariant* value)
{
    ScriptRuntime* rt = ScriptRuntime::Current();
    if (!rt || !name)
        return false;
    const std::optional<std::u16string> option = rt->Option(name);
    if (!option)
        return false;
    if (value)
        Variant::View(*value) = Variant(*option);
    return true;
}

pkq_int VY_CDECL HMRGetCommandLineArgumentGeneration()
{
    ScriptRuntime* rt = ScriptRuntime::Current();
    return rt ? rt->Generation() : 0;
}

// "%1" and "%2" become the two strings, "%%" becomes "%"; any other '%'
// stays as it is. A null format gives the empty string.
void VY_CDECL HMRFormatMessage(ttstr* out, const pkq_char* format, const ttstr& p1, const ttstr& p2)
{
    std::u16string text;
    const std::u16string_view fmt = CharsOf(format);
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == u'%' && i + 1 < fmt.size()) {
            const char16_t next = fmt[i + 1];
            if (next == u'%' || next == u'1' || next == u'2') {
                if (next == u'%')
                    text += u'%';
                else
                    text += next == u'1' ? TextOf(p1) : TextOf(p2);
                ++i;
                continue;
            }
        }
        text += fmt[i];
    }
    RepOf(out) = new StringRep{std::move(text), 0};
}

void VY_CDECL HMRThrowPluginUnboundFunctionError(const char* signature)
{
    throw ScriptException(ScriptException::kPluginError,
                          u"Plug-in unbound function: " +
                              NarrowToText(signature ? signature : "(null)"));
}

// ---- tPKQString ---------------------------------------------------------------

void VY_CDECL StringCtor(tPKQString* self)
{
    RepOf(self) = new StringRep;
}

void VY_CDECL StringCtorCopy(tPKQString* self, const tPKQString& other)
{
    RepOf(self) = new StringRep{TextOf(other), 0};
}

void VY_CDECL StringDtor(tPKQString* self)
{
    delete RepOf(self);
    RepOf(self) = nullptr;
}

void VY_CDECL StringCtorFromChars(tPKQString* self, const pkq_char* text)
{
    RepOf(self) = new StringRep{std::u16string(CharsOf(text)), 0};
}

// The first `length` units; fewer when the text ends (a terminator) first;
// a negative length gives the empty string.
void VY_CDECL StringCtorFromCharsLength(tPKQString* self, const pkq_char* text, int length)
{
    std::u16string s;
    if (text && length > 0) {
        std::size_t n = 0;
        while (n < static_cast<std::size_t>(length) && text[n])
            ++n;
        s.assign(text, n);
    }
    RepOf(self) = new StringRep{std::move(s), 0};
}

void VY_CDECL StringCtorFromNarrow(tPKQString* self, const pkq_nchar* text)
{
    RepOf(self) = new StringRep{NarrowToText(text), 0};
}

// The first `length` units of `other`, clamped to [0, its length].
void VY_CDECL StringCtorPrefix(tPKQString* self, const tPKQString& other, int length)
{
    const std::u16string& text = TextOf(other);
    const std::size_t n = length <= 0 ? 0 : std::min(static_cast<std::size_t>(length), text.size());
    RepOf(self) = new StringRep{text.substr(0, n), 0};
}

void VY_CDECL StringCtorFromVariant(tPKQString* self, const tPKQVariant& value)
{
    RepOf(self) = new StringRep{variantops::ToText(DataOf(&value)), 0};
}

tPKQString& VY_CDECL StringAssignChars(tPKQString* self, const pkq_char* text)
{
    SetText(self, std::u16string(CharsOf(text)));
    return *self;
}

void VY_CDECL StringAppendChars(tPKQString* self, const pkq_char* text)
{
    if (!text || !*text)
        return;
    std::u16string s = TextOf(*self);
    s += text; // `text` may point into this very string
    SetText(self, std::move(s));
}

void VY_CDECL StringConcat(tPKQString* out, const tPKQString* self, const tPKQString& other)
{
    RepOf(out) = new StringRep{TextOf(*self) + TextOf(other), 0};
}

const pkq_char* VY_CDECL StringCStr(const tPKQString* self)
{
    return RepOf(self)->text.c_str();
}

bool VY_CDECL StringIsEmpty(const tPKQString* self)
{
    return RepOf(self)->text.empty();
}

void VY_CDECL StringAsLowerCase(const tPKQString* self, tPKQString& out)
{
    SetText(&out, LowerCase(TextOf(*self)));
}

void VY_CDECL StringReplace(tPKQString* self, const tPKQString& from, const tPKQString& to,
                            bool all)
{
    std::u16string text = TextOf(*self);
    const std::u16string f = TextOf(from); // copies: either may be `self`
    const std::u16string t = TextOf(to);
    ReplaceText(text, f, t, all);
    if (text != TextOf(*self))
        SetText(self, std::move(text));
}

pkq_uint32* VY_CDECL StringGetHint(tPKQString* self)
{
    return &RepOf(self)->hint;
}

// ---- tPKQVariant --------------------------------------------------------------

void VY_CDECL VariantCtor(tPKQVariant* self)
{
    variantops::InitVoid(DataOf(self));
}

void VY_CDECL VariantDtor(tPKQVariant* self)
{
    variantops::Destroy(DataOf(self));
}

void VY_CDECL VariantCtorCopy(tPKQVariant* self, const tPKQVariant& other)
{
    variantops::InitCopy(DataOf(self), DataOf(&other));
}

void VY_CDECL VariantCtorObject(tPKQVariant* self, iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    variantops::InitObject(DataOf(self), object, objThis);
}

void VY_CDECL VariantCtorChars(tPKQVariant* self, const pkq_char* text)
{
    variantops::InitString(DataOf(self), CharsOf(text));
}

void VY_CDECL VariantCtorString(tPKQVariant* self, const tPKQString& text)
{
    variantops::InitString(DataOf(self), TextOf(text));
}

void VY_CDECL VariantCtorInt32(tPKQVariant* self, pkq_int32 value)
{
    variantops::InitInteger(DataOf(self), value);
}

void VY_CDECL VariantCtorInt64(tPKQVariant* self, pkq_int64 value)
{
    variantops::InitInteger(DataOf(self), value);
}

void VY_CDECL VariantCtorReal(tPKQVariant* self, pkq_real value)
{
    variantops::InitReal(DataOf(self), value);
}

void VY_CDECL VariantCopyRef(tPKQVariant* self, const tPKQVariant& other)
{
    variantops::Assign(DataOf(self), DataOf(&other));
}

void VY_CDECL VariantClear(tPKQVariant* self)
{
    variantops::Destroy(DataOf(self));
}

tPKQVariant& VY_CDECL VariantAssign(tPKQVariant* self, const tPKQVariant& other)
{
    variantops::Assign(DataOf(self), DataOf(&other));
    return *self;
}

tPKQVariant& VY_CDECL VariantAssignBool(tPKQVariant* self, bool value)
{
    variantops::Destroy(DataOf(self));
    variantops::InitInteger(DataOf(self), value ? 1 : 0);
    return *self;
}

tPKQVariant& VY_CDECL VariantAssignInt32(tPKQVariant* self, pkq_int32 value)
{
    variantops::Destroy(DataOf(self));
    variantops::InitInteger(DataOf(self), value);
    return *self;
}

tPKQVariantType VY_CDECL VariantType(tPKQVariant* self)
{
    return DataOf(self).type;
}

tPKQVariantType VY_CDECL VariantTypeConst(const tPKQVariant* self)
{
    return DataOf(self).type;
}

iPKQDispatch2* VY_CDECL VariantAsObjectNoAddRef(const tPKQVariant* self)
{
    const VariantData& d = DataOf(self);
    return d.type == pvtObject ? d.object.Object : nullptr;
}

// The closure inside the variant. A variant that holds no object has none:
// the call is recorded as a fault and raises a host exception.
tPKQVariantClosure& VY_CDECL VariantAsObjectClosureNoAddRef(const tPKQVariant* self)
{
    VariantData& d = const_cast<VariantData&>(DataOf(self));
    if (d.type != pvtObject)
        NotAnObject("AsObjectClosureNoAddRef");
    return d.object;
}

tPKQVariantClosure& VY_CDECL VariantAsObjectClosure(tPKQVariant* self)
{
    VariantData& d = DataOf(self);
    if (d.type != pvtObject)
        NotAnObject("AsObjectClosure");
    if (d.object.Object)
        d.object.Object->AddRef();
    if (d.object.ObjThis)
        d.object.ObjThis->AddRef();
    return d.object;
}

const pkq_char* VY_CDECL VariantGetString(const tPKQVariant* self)
{
    const VariantData& d = DataOf(self);
    return d.type == pvtString ? d.string->text.c_str() : nullptr;
}

tQXInteger VY_CDECL VariantAsInteger(const tPKQVariant* self)
{
    return variantops::ToInteger(DataOf(self));
}

bool VY_CDECL VariantToBool(const tPKQVariant* self)
{
    return variantops::ToBool(DataOf(self));
}

tQXReal VY_CDECL VariantAsReal(const tPKQVariant* self)
{
    return variantops::ToReal(DataOf(self));
}

// ---- the table --------------------------------------------------------------

template <typename Fn> void* Entry(Fn fn)
{
    return reinterpret_cast<void*>(fn);
}

#define VY_HOST_FN(TYPE, NAME, FN)                                                                 \
    {                                                                                              \
        std::string_view(vyhostfn::NAME), Entry<vyhostfn::TYPE>(&FN)                               \
    }

const std::unordered_map<std::string_view, void*>& Table()
{
    static const std::unordered_map<std::string_view, void*> table = {
        VY_HOST_FN(HMRGetScriptDispatchFn, kHMRGetScriptDispatch, HMRGetScriptDispatch),
        VY_HOST_FN(PKQVariantCtor, kPKQVariantCtor, VariantCtor),
        VY_HOST_FN(PKQVariantDtor, kPKQVariantDtor, VariantDtor),
        VY_HOST_FN(PKQVariantCopyRef, kPKQVariantCopyRef, VariantCopyRef),
        VY_HOST_FN(PKQStringCtorCopy, kPKQStringCtorCopy, StringCtorCopy),
        VY_HOST_FN(PKQStringDtor, kPKQStringDtor, StringDtor),
        VY_HOST_FN(PKQIntToStrFn, kPKQIntToStr, PKQ_int_to_str),
        VY_HOST_FN(PKQDoVariantOperationFn, kPKQDoVariantOperation, PKQDoVariantOperation),
        VY_HOST_FN(HMRDoTryBlockFn, kHMRDoTryBlock, HMRDoTryBlock),
        VY_HOST_FN(HMRAddLogFn, kHMRAddLog, HMRAddLog),
        VY_HOST_FN(PKQVariantCtorCopy, kPKQVariantCtorCopy, VariantCtorCopy),
        VY_HOST_FN(PKQVariantCtorObject, kPKQVariantCtorObject, VariantCtorObject),
        VY_HOST_FN(PKQVariantCtorChars, kPKQVariantCtorChars, VariantCtorChars),
        VY_HOST_FN(PKQVariantCtorString, kPKQVariantCtorString, VariantCtorString),
        VY_HOST_FN(PKQVariantCtorInt32, kPKQVariantCtorInt32, VariantCtorInt32),
        VY_HOST_FN(PKQVariantCtorInt64, kPKQVariantCtorInt64, VariantCtorInt64),
        VY_HOST_FN(PKQVariantType, kPKQVariantType, VariantType),
        VY_HOST_FN(PKQVariantClear, kPKQVariantClear, VariantClear),
        VY_HOST_FN(PKQVariantAssign, kPKQVariantAssign, VariantAssign),
        VY_HOST_FN(PKQVariantAssignBool, kPKQVariantAssignBool, VariantAssignBool),
        VY_HOST_FN(PKQVariantAssignInt32, kPKQVariantAssignInt32, VariantAssignInt32),
        VY_HOST_FN(PKQVariantTypeConst, kPKQVariantTypeConst, VariantTypeConst),
        VY_HOST_FN(PKQVariantAsObjectNoAddRef, kPKQVariantAsObjectNoAddRef,
                   VariantAsObjectNoAddRef),
        VY_HOST_FN(PKQVariantAsObjectClosureNoAddRef, kPKQVariantAsObjectClosureNoAddRef,
                   VariantAsObjectClosureNoAddRef),
        VY_HOST_FN(PKQVariantGetString, kPKQVariantGetString, VariantGetString),
        VY_HOST_FN(PKQVariantAsInteger, kPKQVariantAsInteger, VariantAsInteger),
        VY_HOST_FN(PKQVariantToBool, kPKQVariantToBool, VariantToBool),
        VY_HOST_FN(PKQVariantAsReal, kPKQVariantAsReal, VariantAsReal),
        VY_HOST_FN(PKQStringCtor, kPKQStringCtor, StringCtor),
        VY_HOST_FN(PKQStringCtorFromChars, kPKQStringCtorFromChars, StringCtorFromChars),
        VY_HOST_FN(PKQStringCtorFromVariant, kPKQStringCtorFromVariant, StringCtorFromVariant),
        VY_HOST_FN(PKQStringCtorFromCharsLength, kPKQStringCtorFromCharsLength,
                   StringCtorFromCharsLength),
        VY_HOST_FN(PKQStringAppendChars, kPKQStringAppendChars, StringAppendChars),
        VY_HOST_FN(PKQStringGetHint, kPKQStringGetHint, StringGetHint),
        VY_HOST_FN(PKQStringCStr, kPKQStringCStr, StringCStr),
        VY_HOST_FN(PKQStringConcat, kPKQStringConcat, StringConcat),
        VY_HOST_FN(PKQStringAsLowerCase, kPKQStringAsLowerCase, StringAsLowerCase),
        VY_HOST_FN(PKQStringIsEmpty, kPKQStringIsEmpty, StringIsEmpty),
        VY_HOST_FN(PKQStricmpFn, kPKQStricmp, PKQ_stricmp),
        VY_HOST_FN(PKQCreateArrayObjectFn, kPKQCreateArrayObject, PKQCreateArrayObject),
        VY_HOST_FN(PKQCreateDictionaryObjectFn, kPKQCreateDictionaryObject,
                   PKQCreateDictionaryObject),
        VY_HOST_FN(HMRAddImportantLogFn, kHMRAddImportantLog, HMRAddImportantLog),
        VY_HOST_FN(PKQStringCtorFromNarrow, kPKQStringCtorFromNarrow, StringCtorFromNarrow),
        VY_HOST_FN(PKQStringCtorPrefix, kPKQStringCtorPrefix, StringCtorPrefix),
        VY_HOST_FN(PKQStringAssignChars, kPKQStringAssignChars, StringAssignChars),
        VY_HOST_FN(PKQStringReplace, kPKQStringReplace, StringReplace),
        VY_HOST_FN(PKQVariantCtorReal, kPKQVariantCtorReal, VariantCtorReal),
        VY_HOST_FN(PKQVariantAsObjectClosure, kPKQVariantAsObjectClosure, VariantAsObjectClosure),
        VY_HOST_FN(HMRGetCommandLineFn, kHMRGetCommandLine, HMRGetCommandLine),
        VY_HOST_FN(HMRGetCommandLineArgumentGenerationFn, kHMRGetCommandLineArgumentGeneration,
                   HMRGetCommandLineArgumentGeneration),
        VY_HOST_FN(HMRFormatMessageFn, kHMRFormatMessage, HMRFormatMessage),
        VY_HOST_FN(HMRThrowPluginUnboundFunctionErrorFn, kHMRThrowPluginUnboundFunctionError,
                   HMRThrowPluginUnboundFunctionError),
    };
    return table;
}

#undef VY_HOST_FN

} // namespace

void* FindHostFunction(std::string_view signature)
{
    const auto& table = Table();
    auto it = table.find(signature);
    return it == table.end() ? nullptr : it->second;
}

} // namespace host
