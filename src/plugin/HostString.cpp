// tPKQString's operations, each a call of the host function bound for it:
// the host owns the string's layout, the plug-in only passes its storage.
#include "HostBinding.h"

#include <vymultitrack/PkqString.h>

using namespace vyhostfn;
using hostapi::HostFunction;

tPKQString::tPKQString()
{
    HostFunction<PKQStringCtor, kPKQStringCtor>()(this);
}

tPKQString::tPKQString(const tPKQString& other)
{
    HostFunction<PKQStringCtorCopy, kPKQStringCtorCopy>()(this, other);
}

tPKQString::tPKQString(const pkq_char* text)
{
    HostFunction<PKQStringCtorFromChars, kPKQStringCtorFromChars>()(this, text);
}

tPKQString::tPKQString(const pkq_char* text, int length)
{
    HostFunction<PKQStringCtorFromCharsLength, kPKQStringCtorFromCharsLength>()(this, text, length);
}

tPKQString::tPKQString(const pkq_nchar* text)
{
    HostFunction<PKQStringCtorFromNarrow, kPKQStringCtorFromNarrow>()(this, text);
}

tPKQString::tPKQString(const tPKQString& other, int length)
{
    HostFunction<PKQStringCtorPrefix, kPKQStringCtorPrefix>()(this, other, length);
}

tPKQString::tPKQString(const tPKQVariant& value)
{
    HostFunction<PKQStringCtorFromVariant, kPKQStringCtorFromVariant>()(this, value);
}

tPKQString::~tPKQString()
{
    HostFunction<PKQStringDtor, kPKQStringDtor>()(this);
}

tPKQString& tPKQString::operator=(const pkq_char* text)
{
    return HostFunction<PKQStringAssignChars, kPKQStringAssignChars>()(this, text);
}

void tPKQString::operator+=(const pkq_char* text)
{
    HostFunction<PKQStringAppendChars, kPKQStringAppendChars>()(this, text);
}

tPKQString tPKQString::operator+(const tPKQString& other) const
{
    return hostapi::StringBuiltByHost([&](tPKQString* out) {
        HostFunction<PKQStringConcat, kPKQStringConcat>()(out, this, other);
    });
}

const pkq_char* tPKQString::c_str() const
{
    return HostFunction<PKQStringCStr, kPKQStringCStr>()(this);
}

bool tPKQString::IsEmpty() const
{
    return HostFunction<PKQStringIsEmpty, kPKQStringIsEmpty>()(this);
}

void tPKQString::AsLowerCase(tPKQString& out) const
{
    HostFunction<PKQStringAsLowerCase, kPKQStringAsLowerCase>()(this, out);
}

void tPKQString::Replace(const tPKQString& from, const tPKQString& to, bool all)
{
    HostFunction<PKQStringReplace, kPKQStringReplace>()(this, from, to, all);
}

pkq_uint32* tPKQString::GetHint()
{
    return HostFunction<PKQStringGetHint, kPKQStringGetHint>()(this);
}
