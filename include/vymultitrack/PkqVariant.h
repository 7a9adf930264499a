// The host's variant: void, object (an object with its `this`), string,
// octet, integer or real. Its layout belongs to the host.
#pragma once

#include "PkqString.h"
#include "PkqTypes.h"

class iPKQDispatch2;

struct tPKQVariantClosure {
    iPKQDispatch2* Object;
    iPKQDispatch2* ObjThis;
};

class tPKQVariant {
public:
    tPKQVariant(); // void
    tPKQVariant(const tPKQVariant& other);
    // An object with its `this` (either may be null); adds a reference to
    // each that is not null.
    tPKQVariant(iPKQDispatch2* object, iPKQDispatch2* objThis);
    tPKQVariant(const pkq_char* text);
    tPKQVariant(const tPKQString& text);
    tPKQVariant(pkq_int32 value);
    tPKQVariant(pkq_int64 value);
    tPKQVariant(pkq_real value);
    ~tPKQVariant();

    // Makes this a copy of `other` (objects gain a reference).
    void CopyRef(const tPKQVariant& other);
    void Clear();
    tPKQVariant& operator=(const tPKQVariant& other);
    tPKQVariant& operator=(bool value);      // integer 0 or 1
    tPKQVariant& operator=(pkq_int32 value);

    tPKQVariantType Type();
    tPKQVariantType Type() const;
    // The object (no reference added); null when not an object.
    iPKQDispatch2* AsObjectNoAddRef() const;
    // The object and its `this`; the plain form adds a reference to each.
    tPKQVariantClosure& AsObjectClosureNoAddRef() const;
    tPKQVariantClosure& AsObjectClosure();
    // The text of a string variant; null otherwise.
    const pkq_char* GetString() const;
    tQXInteger AsInteger() const;
    tQXReal AsReal() const;
    explicit operator bool() const;

private:
    alignas(8) unsigned char storage[24]; // owned by the host
};
