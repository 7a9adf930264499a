// The host's layouts behind the plug-in's tPKQString and tPKQVariant.
//
// The plug-in declares both classes (include/vymultitrack) and defines their
// member functions as calls of host functions; it never reads their insides.
// The host owns what lies in them:
//
// - tPKQString holds one pointer: a `StringRep*` the host allocated (never
//   null while the string is constructed).
// - tPKQVariant holds 24 bytes: a `VariantData` (type code plus a union of
//   int64 / double / StringRep* / object closure).
//
// This header is the ONE place where the host reinterprets the plug-in's
// objects as its own layout; everything else goes through RepOf / DataOf.
// The host never calls a member function of tPKQString or tPKQVariant (the
// plug-in defines them; the unit tests link both sides into one program).
#pragma once

#include <vymultitrack/HostEngine.h>
#include <vymultitrack/PkqDispatch.h>
#include <vymultitrack/PkqString.h>
#include <vymultitrack/PkqVariant.h>

#include <cstdint>
#include <new>
#include <string>

namespace host::layout {

// A host string's contents: its text and its hash hint (0 = not computed
// yet; member lookups fill it in, see HashOf in HostString.h). Every host
// string owns its rep; copies copy the text (value semantics, no sharing),
// so a string's hint pointer stays valid and its own for the string's life.
struct StringRep {
    std::u16string text;
    pkq_uint32 hint = 0;
};

// A host variant. `type` is a tPKQVariantType code; pvtOctet is not
// supported by this host and never produced.
struct alignas(8) VariantData {
    tPKQVariantType type;
    std::int32_t reserved;
    union {
        pkq_int64 integer;         // pvtInteger
        double real;               // pvtReal
        StringRep* string;         // pvtString (owned, never null)
        tPKQVariantClosure object; // pvtObject (one reference on each non-null pointer)
        unsigned char raw[16];
    };
};

static_assert(sizeof(VariantData) == 24, "the host's variant fills the plug-in's 24 bytes");
static_assert(sizeof(VariantData) <= sizeof(tPKQVariant));
static_assert(alignof(VariantData) <= alignof(tPKQVariant));
static_assert(sizeof(tPKQString) == sizeof(StringRep*));
static_assert(alignof(tPKQString) >= alignof(StringRep*));
// tHMRExceptionDesc is two strings; the host builds one in raw storage.
static_assert(sizeof(tHMRExceptionDesc) == 2 * sizeof(tPKQString));

inline StringRep*& RepOf(tPKQString* s)
{
    return *std::launder(reinterpret_cast<StringRep**>(s));
}

inline StringRep* RepOf(const tPKQString* s)
{
    return *std::launder(reinterpret_cast<StringRep* const*>(s));
}

inline VariantData& DataOf(tPKQVariant* v)
{
    return *std::launder(reinterpret_cast<VariantData*>(v));
}

inline const VariantData& DataOf(const tPKQVariant* v)
{
    return *std::launder(reinterpret_cast<const VariantData*>(v));
}

inline tPKQVariant* AsPkq(VariantData* d)
{
    return reinterpret_cast<tPKQVariant*>(d);
}

inline const tPKQVariant* AsPkq(const VariantData* d)
{
    return reinterpret_cast<const tPKQVariant*>(d);
}

// A string's rep pointer slot, seen as the plug-in's string.
inline tPKQString* AsPkq(StringRep** slot)
{
    return reinterpret_cast<tPKQString*>(slot);
}

inline const tPKQString* AsPkq(StringRep* const* slot)
{
    return reinterpret_cast<const tPKQString*>(slot);
}

// The two strings of an exception record the host builds in raw storage.
inline tHMRExceptionDesc* DescIn(void* storage)
{
    return reinterpret_cast<tHMRExceptionDesc*>(storage);
}

inline StringRep*& DescTypeRep(tHMRExceptionDesc* desc)
{
    return *std::launder(reinterpret_cast<StringRep**>(desc));
}

inline StringRep*& DescMessageRep(tHMRExceptionDesc* desc)
{
    return *std::launder(reinterpret_cast<StringRep**>(desc) + 1);
}

inline StringRep* DescTypeRep(const tHMRExceptionDesc* desc)
{
    return *std::launder(reinterpret_cast<StringRep* const*>(desc));
}

inline StringRep* DescMessageRep(const tHMRExceptionDesc* desc)
{
    return *std::launder(reinterpret_cast<StringRep* const*>(desc) + 1);
}

} // namespace host::layout
