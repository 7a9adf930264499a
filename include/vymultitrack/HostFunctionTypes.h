// The host functions the plug-in binds by signature, as one table shared by the plug-in's
// binding and the host's exporter: each signature string (exact text) and
// the C++ function-pointer type of the function the exporter hands out for
// it. Both sides use these very types and strings.
//
// Calling convention of every host function: VY_CDECL (caller cleans).
//
// Member functions of tPKQString and tPKQVariant become free functions
// ("thunks") whose first parameter is the object: `tPKQString* self` /
// `tPKQVariant* self`, or `const ...* self` for a const method, followed by
// the method's own parameters exactly as the signature string writes them
// (references stay references), returning what the method returns.
//
// - Constructors: `self` points at raw, unconstructed storage of the class
//   (the plug-in's object under construction); the thunk constructs the
//   host's value there.
// - Destructor: the thunk destroys the value; the storage is raw afterwards.
// - A method that returns a tPKQString by value (operator +) and the free
//   function HMRFormatMessage take one extra FIRST parameter,
//   `tPKQString* out`, pointing at raw storage; the thunk constructs the
//   result there (the plug-in then owns it and destroys it with the
//   destructor thunk). `self`, when there is one, comes second.
// - Methods returning a reference (operator =, AsObjectClosure...) return
//   the reference the method would.
//
// Host exceptions (HMRThrowPluginUnboundFunctionError, failing host
// operations, script functions that throw) are C++ exceptions of the
// host's own type: the plug-in sees them only through HMRDoTryBlock, whose
// catch function receives them as a tHMRExceptionDesc.
#pragma once

#include "CallingConvention.h"
#include "HostEngine.h"
#include "PkqDispatch.h"
#include "PkqString.h"
#include "PkqTypes.h"
#include "PkqVariant.h"

#include <cstddef>

namespace vyhostfn {

// ---- Function-pointer types, one per signature string ----------------------

// "iPKQDispatch2 * ::HMRGetScriptDispatch()"
using HMRGetScriptDispatchFn = iPKQDispatch2*(VY_CDECL*)();
// "tPKQVariant::tPKQVariant()"
using PKQVariantCtor = void(VY_CDECL*)(tPKQVariant* self);
// "tPKQVariant::~ tPKQVariant()"
using PKQVariantDtor = void(VY_CDECL*)(tPKQVariant* self);
// "void tPKQVariant::CopyRef(const tPKQVariant &)"
using PKQVariantCopyRef = void(VY_CDECL*)(tPKQVariant* self, const tPKQVariant& other);
// "tPKQString::tPKQString(const tPKQString &)"
using PKQStringCtorCopy = void(VY_CDECL*)(tPKQString* self, const tPKQString& other);
// "tPKQString::~ tPKQString()"
using PKQStringDtor = void(VY_CDECL*)(tPKQString* self);
// "pkq_char * ::PKQ_int_to_str(pkq_int,pkq_char *)"  (writes the decimal text
// and a terminator into the buffer, at most 12 units, and returns the buffer)
using PKQIntToStrFn = pkq_char*(VY_CDECL*)(pkq_int value, pkq_char* buffer);
// "void ::PKQDoVariantOperation(pkq_int,tPKQVariant &,const tPKQVariant *)"
using PKQDoVariantOperationFn = void(VY_CDECL*)(pkq_int op, tPKQVariant& target,
                                                const tPKQVariant* operand);
// "void ::HMRDoTryBlock(tHMRTryBlockFunction,tHMRCatchBlockFunction,tHMRFinallyBlockFunction,void
// *)"
using HMRDoTryBlockFn = void(VY_CDECL*)(tHMRTryBlockFunction tryBlock,
                                        tHMRCatchBlockFunction catchBlock,
                                        tHMRFinallyBlockFunction finallyBlock, void* data);
// "void ::HMRAddLog(const ttstr &)"
using HMRAddLogFn = void(VY_CDECL*)(const ttstr& text);
// "tPKQVariant::tPKQVariant(const tPKQVariant &)"
using PKQVariantCtorCopy = void(VY_CDECL*)(tPKQVariant* self, const tPKQVariant& other);
// "tPKQVariant::tPKQVariant(iPKQDispatch2 *,iPKQDispatch2 *)"
using PKQVariantCtorObject = void(VY_CDECL*)(tPKQVariant* self, iPKQDispatch2* object,
                                             iPKQDispatch2* objThis);
// "tPKQVariant::tPKQVariant(const pkq_char *)"
using PKQVariantCtorChars = void(VY_CDECL*)(tPKQVariant* self, const pkq_char* text);
// "tPKQVariant::tPKQVariant(const tPKQString &)"
using PKQVariantCtorString = void(VY_CDECL*)(tPKQVariant* self, const tPKQString& text);
// "tPKQVariant::tPKQVariant(pkq_int32)"
using PKQVariantCtorInt32 = void(VY_CDECL*)(tPKQVariant* self, pkq_int32 value);
// "tPKQVariant::tPKQVariant(pkq_int64)"
using PKQVariantCtorInt64 = void(VY_CDECL*)(tPKQVariant* self, pkq_int64 value);
// "tPKQVariantType tPKQVariant::Type()"
using PKQVariantType = tPKQVariantType(VY_CDECL*)(tPKQVariant* self);
// "void tPKQVariant::Clear()"
using PKQVariantClear = void(VY_CDECL*)(tPKQVariant* self);
// "tPKQVariant & tPKQVariant::operator =(const tPKQVariant &)"
using PKQVariantAssign = tPKQVariant&(VY_CDECL*)(tPKQVariant* self, const tPKQVariant& other);
// "tPKQVariant & tPKQVariant::operator =(bool)"
using PKQVariantAssignBool = tPKQVariant&(VY_CDECL*)(tPKQVariant* self, bool value);
// "tPKQVariant & tPKQVariant::operator =(pkq_int32)"
using PKQVariantAssignInt32 = tPKQVariant&(VY_CDECL*)(tPKQVariant* self, pkq_int32 value);
// "tPKQVariantType tPKQVariant::Type() const"
using PKQVariantTypeConst = tPKQVariantType(VY_CDECL*)(const tPKQVariant* self);
// "iPKQDispatch2 * tPKQVariant::AsObjectNoAddRef() const"
using PKQVariantAsObjectNoAddRef = iPKQDispatch2*(VY_CDECL*)(const tPKQVariant* self);
// "tPKQVariantClosure & tPKQVariant::AsObjectClosureNoAddRef() const"
using PKQVariantAsObjectClosureNoAddRef = tPKQVariantClosure&(VY_CDECL*)(const tPKQVariant* self);
// "const pkq_char * tPKQVariant::GetString() const"
using PKQVariantGetString = const pkq_char*(VY_CDECL*)(const tPKQVariant* self);
// "tQXInteger tPKQVariant::AsInteger() const"
using PKQVariantAsInteger = tQXInteger(VY_CDECL*)(const tPKQVariant* self);
// "tPKQVariant::operator bool() const"
using PKQVariantToBool = bool(VY_CDECL*)(const tPKQVariant* self);
// "tQXReal tPKQVariant::AsReal() const"
using PKQVariantAsReal = tQXReal(VY_CDECL*)(const tPKQVariant* self);
// "tPKQString::tPKQString()"
using PKQStringCtor = void(VY_CDECL*)(tPKQString* self);
// "tPKQString::tPKQString(const pkq_char *)"
using PKQStringCtorFromChars = void(VY_CDECL*)(tPKQString* self, const pkq_char* text);
// "tPKQString::tPKQString(const tPKQVariant &)"
using PKQStringCtorFromVariant = void(VY_CDECL*)(tPKQString* self, const tPKQVariant& value);
// "tPKQString::tPKQString(const pkq_char *,int)"
using PKQStringCtorFromCharsLength = void(VY_CDECL*)(tPKQString* self, const pkq_char* text,
                                                     int length);
// "void tPKQString::operator +=(const pkq_char *)"
using PKQStringAppendChars = void(VY_CDECL*)(tPKQString* self, const pkq_char* text);
// "pkq_uint32 * tPKQString::GetHint()"
using PKQStringGetHint = pkq_uint32*(VY_CDECL*)(tPKQString* self);
// "const pkq_char * tPKQString::c_str() const"
using PKQStringCStr = const pkq_char*(VY_CDECL*)(const tPKQString* self);
// "tPKQString tPKQString::operator +(const tPKQString &) const"  (out first)
using PKQStringConcat = void(VY_CDECL*)(tPKQString* out, const tPKQString* self,
                                        const tPKQString& other);
// "void tPKQString::AsLowerCase(tPKQString &) const"  (`out` is a constructed
// string, overwritten; it may be `self`)
using PKQStringAsLowerCase = void(VY_CDECL*)(const tPKQString* self, tPKQString& out);
// "bool tPKQString::IsEmpty() const"
using PKQStringIsEmpty = bool(VY_CDECL*)(const tPKQString* self);
// "pkq_int ::PKQ_stricmp(const pkq_char *,const pkq_char *)"
using PKQStricmpFn = pkq_int(VY_CDECL*)(const pkq_char* a, const pkq_char* b);
// "iPKQDispatch2 * ::PKQCreateArrayObject(iPKQDispatch2 * *)"
using PKQCreateArrayObjectFn = iPKQDispatch2*(VY_CDECL*)(iPKQDispatch2** classOut);
// "iPKQDispatch2 * ::PKQCreateDictionaryObject(iPKQDispatch2 * *)"
using PKQCreateDictionaryObjectFn = iPKQDispatch2*(VY_CDECL*)(iPKQDispatch2** classOut);
// "void ::HMRAddImportantLog(const ttstr &)"
using HMRAddImportantLogFn = void(VY_CDECL*)(const ttstr& text);
// "tPKQString::tPKQString(const pkq_nchar *)"
using PKQStringCtorFromNarrow = void(VY_CDECL*)(tPKQString* self, const pkq_nchar* text);
// "tPKQString::tPKQString(const tPKQString &,int)"
using PKQStringCtorPrefix = void(VY_CDECL*)(tPKQString* self, const tPKQString& other, int length);
// "tPKQString & tPKQString::operator =(const pkq_char *)"
using PKQStringAssignChars = tPKQString&(VY_CDECL*)(tPKQString* self, const pkq_char* text);
// "void tPKQString::Replace(const tPKQString &,const tPKQString &,bool)"
using PKQStringReplace = void(VY_CDECL*)(tPKQString* self, const tPKQString& from,
                                         const tPKQString& to, bool all);
// "tPKQVariant::tPKQVariant(pkq_real)"
using PKQVariantCtorReal = void(VY_CDECL*)(tPKQVariant* self, pkq_real value);
// "tPKQVariantClosure & tPKQVariant::AsObjectClosure()"
using PKQVariantAsObjectClosure = tPKQVariantClosure&(VY_CDECL*)(tPKQVariant* self);
// "bool ::HMRGetCommandLine(const pkq_char *,tPKQVariant *)"
using HMRGetCommandLineFn = bool(VY_CDECL*)(const pkq_char* name, tPKQVariant* value);
// "pkq_int ::HMRGetCommandLineArgumentGeneration()"
using HMRGetCommandLineArgumentGenerationFn = pkq_int(VY_CDECL*)();
// "ttstr ::HMRFormatMessage(const pkq_char *,const ttstr &,const ttstr &)"  (out first)
using HMRFormatMessageFn = void(VY_CDECL*)(ttstr* out, const pkq_char* format, const ttstr& p1,
                                           const ttstr& p2);
// "void ::HMRThrowPluginUnboundFunctionError(const char *)"  (does not return)
using HMRThrowPluginUnboundFunctionErrorFn = void(VY_CDECL*)(const char* signature);

// ---- Signature strings (exact text) ----------------------------

inline constexpr const char* kHMRGetScriptDispatch = "iPKQDispatch2 * ::HMRGetScriptDispatch()";
inline constexpr const char* kPKQVariantCtor = "tPKQVariant::tPKQVariant()";
inline constexpr const char* kPKQVariantDtor = "tPKQVariant::~ tPKQVariant()";
inline constexpr const char* kPKQVariantCopyRef = "void tPKQVariant::CopyRef(const tPKQVariant &)";
inline constexpr const char* kPKQStringCtorCopy = "tPKQString::tPKQString(const tPKQString &)";
inline constexpr const char* kPKQStringDtor = "tPKQString::~ tPKQString()";
inline constexpr const char* kPKQIntToStr = "pkq_char * ::PKQ_int_to_str(pkq_int,pkq_char *)";
inline constexpr const char* kPKQDoVariantOperation =
    "void ::PKQDoVariantOperation(pkq_int,tPKQVariant &,const tPKQVariant *)";
inline constexpr const char* kHMRDoTryBlock =
    "void "
    "::HMRDoTryBlock(tHMRTryBlockFunction,tHMRCatchBlockFunction,tHMRFinallyBlockFunction,void *)";
inline constexpr const char* kHMRAddLog = "void ::HMRAddLog(const ttstr &)";
inline constexpr const char* kPKQVariantCtorCopy = "tPKQVariant::tPKQVariant(const tPKQVariant &)";
inline constexpr const char* kPKQVariantCtorObject =
    "tPKQVariant::tPKQVariant(iPKQDispatch2 *,iPKQDispatch2 *)";
inline constexpr const char* kPKQVariantCtorChars = "tPKQVariant::tPKQVariant(const pkq_char *)";
inline constexpr const char* kPKQVariantCtorString = "tPKQVariant::tPKQVariant(const tPKQString &)";
inline constexpr const char* kPKQVariantCtorInt32 = "tPKQVariant::tPKQVariant(pkq_int32)";
inline constexpr const char* kPKQVariantCtorInt64 = "tPKQVariant::tPKQVariant(pkq_int64)";
inline constexpr const char* kPKQVariantType = "tPKQVariantType tPKQVariant::Type()";
inline constexpr const char* kPKQVariantClear = "void tPKQVariant::Clear()";
inline constexpr const char* kPKQVariantAssign =
    "tPKQVariant & tPKQVariant::operator =(const tPKQVariant &)";
inline constexpr const char* kPKQVariantAssignBool = "tPKQVariant & tPKQVariant::operator =(bool)";
inline constexpr const char* kPKQVariantAssignInt32 =
    "tPKQVariant & tPKQVariant::operator =(pkq_int32)";
inline constexpr const char* kPKQVariantTypeConst = "tPKQVariantType tPKQVariant::Type() const";
inline constexpr const char* kPKQVariantAsObjectNoAddRef =
    "iPKQDispatch2 * tPKQVariant::AsObjectNoAddRef() const";
inline constexpr const char* kPKQVariantAsObjectClosureNoAddRef =
    "tPKQVariantClosure & tPKQVariant::AsObjectClosureNoAddRef() const";
inline constexpr const char* kPKQVariantGetString =
    "const pkq_char * tPKQVariant::GetString() const";
inline constexpr const char* kPKQVariantAsInteger = "tQXInteger tPKQVariant::AsInteger() const";
inline constexpr const char* kPKQVariantToBool = "tPKQVariant::operator bool() const";
inline constexpr const char* kPKQVariantAsReal = "tQXReal tPKQVariant::AsReal() const";
inline constexpr const char* kPKQStringCtor = "tPKQString::tPKQString()";
inline constexpr const char* kPKQStringCtorFromChars = "tPKQString::tPKQString(const pkq_char *)";
inline constexpr const char* kPKQStringCtorFromVariant =
    "tPKQString::tPKQString(const tPKQVariant &)";
inline constexpr const char* kPKQStringCtorFromCharsLength =
    "tPKQString::tPKQString(const pkq_char *,int)";
inline constexpr const char* kPKQStringAppendChars =
    "void tPKQString::operator +=(const pkq_char *)";
inline constexpr const char* kPKQStringGetHint = "pkq_uint32 * tPKQString::GetHint()";
inline constexpr const char* kPKQStringCStr = "const pkq_char * tPKQString::c_str() const";
inline constexpr const char* kPKQStringConcat =
    "tPKQString tPKQString::operator +(const tPKQString &) const";
inline constexpr const char* kPKQStringAsLowerCase =
    "void tPKQString::AsLowerCase(tPKQString &) const";
inline constexpr const char* kPKQStringIsEmpty = "bool tPKQString::IsEmpty() const";
inline constexpr const char* kPKQStricmp =
    "pkq_int ::PKQ_stricmp(const pkq_char *,const pkq_char *)";
inline constexpr const char* kPKQCreateArrayObject =
    "iPKQDispatch2 * ::PKQCreateArrayObject(iPKQDispatch2 * *)";
inline constexpr const char* kPKQCreateDictionaryObject =
    "iPKQDispatch2 * ::PKQCreateDictionaryObject(iPKQDispatch2 * *)";
inline constexpr const char* kHMRAddImportantLog = "void ::HMRAddImportantLog(const ttstr &)";
inline constexpr const char* kPKQStringCtorFromNarrow = "tPKQString::tPKQString(const pkq_nchar *)";
inline constexpr const char* kPKQStringCtorPrefix =
    "tPKQString::tPKQString(const tPKQString &,int)";
inline constexpr const char* kPKQStringAssignChars =
    "tPKQString & tPKQString::operator =(const pkq_char *)";
inline constexpr const char* kPKQStringReplace =
    "void tPKQString::Replace(const tPKQString &,const tPKQString &,bool)";
inline constexpr const char* kPKQVariantCtorReal = "tPKQVariant::tPKQVariant(pkq_real)";
inline constexpr const char* kPKQVariantAsObjectClosure =
    "tPKQVariantClosure & tPKQVariant::AsObjectClosure()";
inline constexpr const char* kHMRGetCommandLine =
    "bool ::HMRGetCommandLine(const pkq_char *,tPKQVariant *)";
inline constexpr const char* kHMRGetCommandLineArgumentGeneration =
    "pkq_int ::HMRGetCommandLineArgumentGeneration()";
inline constexpr const char* kHMRFormatMessage =
    "ttstr ::HMRFormatMessage(const pkq_char *,const ttstr &,const ttstr &)";
inline constexpr const char* kHMRThrowPluginUnboundFunctionError =
    "void ::HMRThrowPluginUnboundFunctionError(const char *)";

// All 52, in the engine's order.
inline constexpr const char* kAllSignatures[] = {
    kHMRGetScriptDispatch,
    kPKQVariantCtor,
    kPKQVariantDtor,
    kPKQVariantCopyRef,
    kPKQStringCtorCopy,
    kPKQStringDtor,
    kPKQIntToStr,
    kPKQDoVariantOperation,
    kHMRDoTryBlock,
    kHMRAddLog,
    kPKQVariantCtorCopy,
    kPKQVariantCtorObject,
    kPKQVariantCtorChars,
    kPKQVariantCtorString,
    kPKQVariantCtorInt32,
    kPKQVariantCtorInt64,
    kPKQVariantType,
    kPKQVariantClear,
    kPKQVariantAssign,
    kPKQVariantAssignBool,
    kPKQVariantAssignInt32,
    kPKQVariantTypeConst,
    kPKQVariantAsObjectNoAddRef,
    kPKQVariantAsObjectClosureNoAddRef,
    kPKQVariantGetString,
    kPKQVariantAsInteger,
    kPKQVariantToBool,
    kPKQVariantAsReal,
    kPKQStringCtor,
    kPKQStringCtorFromChars,
    kPKQStringCtorFromVariant,
    kPKQStringCtorFromCharsLength,
    kPKQStringAppendChars,
    kPKQStringGetHint,
    kPKQStringCStr,
    kPKQStringConcat,
    kPKQStringAsLowerCase,
    kPKQStringIsEmpty,
    kPKQStricmp,
    kPKQCreateArrayObject,
    kPKQCreateDictionaryObject,
    kHMRAddImportantLog,
    kPKQStringCtorFromNarrow,
    kPKQStringCtorPrefix,
    kPKQStringAssignChars,
    kPKQStringReplace,
    kPKQVariantCtorReal,
    kPKQVariantAsObjectClosure,
    kHMRGetCommandLine,
    kHMRGetCommandLineArgumentGeneration,
    kHMRFormatMessage,
    kHMRThrowPluginUnboundFunctionError,
};
inline constexpr std::size_t kSignatureCount = sizeof(kAllSignatures) / sizeof(kAllSignatures[0]);
static_assert(kSignatureCount == 52, "the engine offers 52 host functions");

} // namespace vyhostfn
