#include "Variant.h"

#include "HostText.h"

#include <vymultitrack/Utf16Text.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace host {

using layout::StringRep;
using layout::VariantData;

// ---- String ----------------------------------------------------------------

String::String() : rep_(new StringRep) {}

String::String(std::u16string_view text) : rep_(new StringRep{std::u16string(text), 0}) {}

String::String(const char16_t* text)
    : rep_(new StringRep{text ? std::u16string(text) : std::u16string(), 0})
{
}

String::String(const String& other) : rep_(new StringRep{other.rep_->text, 0}) {}

String::String(String&& other) noexcept : rep_(new StringRep)
{
    std::swap(rep_, other.rep_);
}

String::~String()
{
    delete rep_;
}

String& String::operator=(const String& other)
{
    if (this != &other) {
        rep_->text = other.rep_->text;
        rep_->hint = 0;
    }
    return *this;
}

String& String::operator=(String&& other) noexcept
{
    std::swap(rep_, other.rep_);
    return *this;
}

const String& String::View(const tPKQString& s)
{
    return *std::launder(reinterpret_cast<const String*>(&s));
}

String& String::View(tPKQString& s)
{
    return *std::launder(reinterpret_cast<String*>(&s));
}

// ---- raw variant operations --------------------------------------------------

namespace variantops {

void InitVoid(VariantData& d)
{
    d.type = pvtVoid;
    d.reserved = 0;
    d.integer = 0;
    d.object.ObjThis = nullptr;
}

void InitCopy(VariantData& d, const VariantData& src)
{
    switch (src.type) {
    case pvtObject:
        InitObject(d, src.object.Object, src.object.ObjThis);
        break;
    case pvtString:
        InitString(d, src.string->text);
        break;
    case pvtInteger:
        InitInteger(d, src.integer);
        break;
    case pvtReal:
        InitReal(d, src.real);
        break;
    default:
        InitVoid(d);
        break;
    }
}

void InitObject(VariantData& d, iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    if (object)
        object->AddRef();
    if (objThis)
        objThis->AddRef();
    d.type = pvtObject;
    d.reserved = 0;
    d.object.Object = object;
    d.object.ObjThis = objThis;
}

void InitString(VariantData& d, std::u16string_view text)
{
    StringRep* rep = new StringRep{std::u16string(text), 0};
    d.type = pvtString;
    d.reserved = 0;
    d.object.ObjThis = nullptr;
    d.string = rep;
}

void InitInteger(VariantData& d, pkq_int64 value)
{
    InitVoid(d);
    d.type = pvtInteger;
    d.integer = value;
}

void InitReal(VariantData& d, double value)
{
    InitVoid(d);
    d.type = pvtReal;
    d.real = value;
}

void Destroy(VariantData& d)
{
    const tPKQVariantType type = d.type;
    if (type == pvtString) {
        StringRep* rep = d.string;
        InitVoid(d);
        delete rep;
    } else if (type == pvtObject) {
        const tPKQVariantClosure closure = d.object;
        InitVoid(d);
        if (closure.ObjThis)
            closure.ObjThis->Release();
        if (closure.Object)
            closure.Object->Release();
    } else {
        InitVoid(d);
    }
}

void Assign(VariantData& d, const VariantData& src)
{
    if (&d == &src)
        return;
    VariantData copy;
    InitCopy(copy, src);
    VariantData old = d;
    d = copy;
    Destroy(old);
}

pkq_int64 ToInteger(const VariantData& d)
{
    switch (d.type) {
    case pvtInteger:
        return d.integer;
    case pvtReal: {
        const double r = d.real;
        if (!(r == r))
            return 0;
        if (r >= 9.2233720368547758e18)
            return std::numeric_limits<pkq_int64>::max();
        if (r <= -9.2233720368547758e18)
            return std::numeric_limits<pkq_int64>::min();
        return static_cast<pkq_int64>(r);
    }
    case pvtString:
        return TextToInteger(d.string->text);
    default:
        return 0;
    }
}

double ToReal(const VariantData& d)
{
    switch (d.type) {
    case pvtInteger:
        return static_cast<double>(d.integer);
    case pvtReal:
        return d.real;
    case pvtString:
        return TextToReal(d.string->text);
    default:
        return 0.0;
    }
}

bool ToBool(const VariantData& d)
{
    switch (d.type) {
    case pvtInteger:
        return d.integer != 0;
    case pvtReal:
        return d.real != 0 && d.real == d.real;
    case pvtString:
        return TextToInteger(d.string->text) != 0;
    case pvtObject:
        return d.object.Object != nullptr;
    default:
        return false;
    }
}

std::u16string ToText(const VariantData& d)
{
    switch (d.type) {
    case pvtInteger:
        return IntegerToText(d.integer);
    case pvtReal:
        return RealToText(d.real);
    case pvtString:
        return d.string->text;
    case pvtObject:
        return d.object.Object ? u"(object)" : u"(null)";
    default:
        return std::u16string();
    }
}

} // namespace variantops

// ---- Variant ----------------------------------------------------------------

Variant::Variant()
{
    variantops::InitVoid(d_);
}

Variant::Variant(const Variant& other)
{
    variantops::InitCopy(d_, other.d_);
}

Variant::Variant(Variant&& other) noexcept
{
    d_ = other.d_;
    variantops::InitVoid(other.d_);
}

Variant::Variant(int value)
{
    variantops::InitInteger(d_, value);
}

Variant::Variant(pkq_int64 value)
{
    variantops::InitInteger(d_, value);
}

Variant::Variant(double value)
{
    variantops::InitReal(d_, value);
}

Variant::Variant(bool value)
{
    variantops::InitInteger(d_, value ? 1 : 0);
}

Variant::Variant(const char16_t* text)
{
    variantops::InitString(d_, text ? std::u16string_view(text) : std::u16string_view());
}

Variant::Variant(std::u16string_view text)
{
    variantops::InitString(d_, text);
}

Variant::Variant(const std::u16string& text)
{
    variantops::InitString(d_, text);
}

Variant::Variant(const char* narrow)
{
    variantops::InitString(d_, NarrowToText(narrow));
}

Variant::~Variant()
{
    variantops::Destroy(d_);
}

Variant& Variant::operator=(const Variant& other)
{
    variantops::Assign(d_, other.d_);
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other) {
        VariantData old = d_;
        d_ = other.d_;
        variantops::InitVoid(other.d_);
        variantops::Destroy(old);
    }
    return *this;
}

Variant Variant::Object(iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    Variant v;
    variantops::InitObject(v.d_, object, objThis);
    return v;
}

Variant Variant::Adopt(iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    Variant v = Object(object, objThis);
    if (object)
        object->Release();
    return v;
}

const Variant& Variant::View(const tPKQVariant& v)
{
    return *std::launder(reinterpret_cast<const Variant*>(&v));
}

Variant& Variant::View(tPKQVariant& v)
{
    return *std::launder(reinterpret_cast<Variant*>(&v));
}

pkq_int64 Variant::AsInteger() const
{
    return variantops::ToInteger(d_);
}

double Variant::AsReal() const
{
    return variantops::ToReal(d_);
}

bool Variant::AsBool() const
{
    return variantops::ToBool(d_);
}

std::u16string Variant::AsText() const
{
    return variantops::ToText(d_);
}

std::string Variant::AsUtf8() const
{
    return vytext::ToUtf8(AsText());
}

const char16_t* Variant::StringPtr() const
{
    return d_.type == pvtString ? d_.string->text.c_str() : nullptr;
}

iPKQDispatch2* Variant::ObjectPtr() const
{
    return d_.type == pvtObject ? d_.object.Object : nullptr;
}

iPKQDispatch2* Variant::ObjThisPtr() const
{
    return d_.type == pvtObject ? d_.object.ObjThis : nullptr;
}

iPKQDispatch2* Variant::CallThis() const
{
    if (d_.type != pvtObject)
        return nullptr;
    return d_.object.ObjThis ? d_.object.ObjThis : d_.object.Object;
}

void Variant::Clear()
{
    variantops::Destroy(d_);
}

std::string Variant::Describe() const
{
    char buf[64];
    switch (d_.type) {
    case pvtVoid:
        return "void";
    case pvtInteger:
        return "int " + std::to_string(d_.integer);
    case pvtReal:
        return "real " + vytext::ToUtf8(RealToText(d_.real));
    case pvtString:
        return "string \"" + vytext::ToUtf8(d_.string->text) + "\"";
    case pvtObject:
        std::snprintf(buf, sizeof buf, "object %p this %p", static_cast<void*>(d_.object.Object),
                      static_cast<void*>(d_.object.ObjThis));
        return buf;
    default:
        return "type " + std::to_string(static_cast<int>(d_.type));
    }
}

} // namespace host
