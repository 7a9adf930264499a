// tPKQVariant's operations, each a call of the host function bound for it:
// the host owns the variant's layout, the plug-in only passes its storage.
#include "HostBinding.h"

#include <vymultitrack/PkqVariant.h>

using namespace vyhostfn;
using hostapi::HostFunction;

tPKQVariant::tPKQVariant()
{
    HostFunction<PKQVariantCtor, kPKQVariantCtor>()(this);
}

tPKQVariant::tPKQVariant(const tPKQVariant& other)
{
    HostFunction<PKQVariantCtorCopy, kPKQVariantCtorCopy>()(this, other);
}

tPKQVariant::tPKQVariant(iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    HostFunction<PKQVariantCtorObject, kPKQVariantCtorObject>()(this, object, objThis);
}

tPKQVariant::tPKQVariant(const pkq_char* text)
{
    HostFunction<PKQVariantCtorChars, kPKQVariantCtorChars>()(this, text);
}

tPKQVariant::tPKQVariant(const tPKQString& text)
{
    HostFunction<PKQVariantCtorString, kPKQVariantCtorString>()(this, text);
}

tPKQVariant::tPKQVariant(pkq_int32 value)
{
    HostFunction<PKQVariantCtorInt32, kPKQVariantCtorInt32>()(this, value);
}

tPKQVariant::tPKQVariant(pkq_int64 value)
{
    HostFunction<PKQVariantCtorInt64, kPKQVariantCtorInt64>()(this, value);
}

tPKQVariant::tPKQVariant(pkq_real value)
{
    HostFunction<PKQVariantCtorReal, kPKQVariantCtorReal>()(this, value);
}

tPKQVariant::~tPKQVariant()
{
    HostFunction<PKQVariantDtor, kPKQVariantDtor>()(this);
}

void tPKQVariant::CopyRef(const tPKQVariant& other)
{
    HostFunction<PKQVariantCopyRef, kPKQVariantCopyRef>()(this, other);
}

void tPKQVariant::Clear()
{
    HostFunction<PKQVariantClear, kPKQVariantClear>()(this);
}

tPKQVariant& tPKQVariant::operator=(const tPKQVariant& other)
{
    return HostFunction<PKQVariantAssign, kPKQVariantAssign>()(this, other);
}

tPKQVariant& tPKQVariant::operator=(bool value)
{
    return HostFunction<PKQVariantAssignBool, kPKQVariantAssignBool>()(this, value);
}

tPKQVariant& tPKQVariant::operator=(pkq_int32 value)
{
    return HostFunction<PKQVariantAssignInt32, kPKQVariantAssignInt32>()(this, value);
}

tPKQVariantType tPKQVariant::Type()
{
    return HostFunction<PKQVariantType, kPKQVariantType>()(this);
}

tPKQVariantType tPKQVariant::Type() const
{
    return HostFunction<PKQVariantTypeConst, kPKQVariantTypeConst>()(this);
}

iPKQDispatch2* tPKQVariant::AsObjectNoAddRef() const
{
    return HostFunction<PKQVariantAsObjectNoAddRef, kPKQVariantAsObjectNoAddRef>()(this);
}

tPKQVariantClosure& tPKQVariant::AsObjectClosureNoAddRef() const
{
    return HostFunction<PKQVariantAsObjectClosureNoAddRef, kPKQVariantAsObjectClosureNoAddRef>()(
        this);
}

tPKQVariantClosure& tPKQVariant::AsObjectClosure()
{
    return HostFunction<PKQVariantAsObjectClosure, kPKQVariantAsObjectClosure>()(this);
}

const pkq_char* tPKQVariant::GetString() const
{
    return HostFunction<PKQVariantGetString, kPKQVariantGetString>()(this);
}

tQXInteger tPKQVariant::AsInteger() const
{
    return HostFunction<PKQVariantAsInteger, kPKQVariantAsInteger>()(this);
}

tQXReal tPKQVariant::AsReal() const
{
    return HostFunction<PKQVariantAsReal, kPKQVariantAsReal>()(this);
}

tPKQVariant::operator bool() const
{
    return HostFunction<PKQVariantToBool, kPKQVariantToBool>()(this);
}
