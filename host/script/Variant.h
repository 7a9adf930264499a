// The host's own handles on its string and variant layouts (Layout.h):
// `host::String` has the layout of a tPKQString and `host::Variant` that of
// a tPKQVariant, so either can be handed to the plug-in as the plug-in's
// type (pkq()) and a plug-in object can be viewed as the host's (View()).
// Host code uses these instead of tPKQString / tPKQVariant, whose member
// functions belong to the plug-in.
#pragma once

#include "Layout.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace host {

class String {
public:
    String();
    String(std::u16string_view text);
    String(const char16_t* text);
    String(const String& other);
    String(String&& other) noexcept;
    ~String();
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;

    // A plug-in string viewed as the host's (no copy).
    static const String& View(const tPKQString& s);
    static String& View(tPKQString& s);

    tPKQString* pkq() { return layout::AsPkq(&rep_); }
    const tPKQString& pkqRef() const { return *layout::AsPkq(&rep_); }

    const std::u16string& Text() const { return rep_->text; }
    const char16_t* c_str() const { return rep_->text.c_str(); }
    pkq_uint32* Hint() { return &rep_->hint; }

private:
    layout::StringRep* rep_;
};

class Variant {
public:
    Variant(); // void
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept; // leaves `other` void
    Variant(int value);                // integer
    Variant(pkq_int64 value);          // integer
    Variant(double value);             // real
    Variant(bool value);               // integer 0 or 1
    Variant(const char16_t* text);     // string (null → empty string)
    Variant(std::u16string_view text); // string
    Variant(const std::u16string& text);
    Variant(const char* narrow); // string, one unit per byte
    ~Variant();
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;

    // An object with its `this`; adds a reference to each non-null pointer.
    static Variant Object(iPKQDispatch2* object, iPKQDispatch2* objThis = nullptr);
    // The same, taking over one reference of `object` that the caller had
    // (e.g. a freshly created object); `objThis` gains a reference.
    static Variant Adopt(iPKQDispatch2* object, iPKQDispatch2* objThis = nullptr);

    // A plug-in variant viewed as the host's (no copy).
    static const Variant& View(const tPKQVariant& v);
    static Variant& View(tPKQVariant& v);

    tPKQVariant* pkq() { return layout::AsPkq(&d_); }
    const tPKQVariant* pkq() const { return layout::AsPkq(&d_); }

    tPKQVariantType Type() const { return d_.type; }
    bool IsVoid() const { return d_.type == pvtVoid; }
    bool IsObject() const { return d_.type == pvtObject; }
    bool IsString() const { return d_.type == pvtString; }
    bool IsNumber() const { return d_.type == pvtInteger || d_.type == pvtReal; }

    // The conversions (same as the exported AsInteger / AsReal / bool / text):
    //   void → 0, 0.0, false, "";
    //   integer → itself, as double, != 0, decimal text;
    //   real → truncated toward zero (saturating; NaN → 0), itself, != 0
    //          (NaN → false), RealToText;
    //   string → TextToInteger / TextToReal of the text, true when its
    //            integer value is not 0 (as in TJS: "0" and "abc" are false),
    //            the text;
    //   object → 0, 0.0, object pointer != null, "(object)" or "(null)".
    pkq_int64 AsInteger() const;
    double AsReal() const;
    bool AsBool() const;
    std::u16string AsText() const;
    std::string AsUtf8() const; // AsText in UTF-8, for messages

    // Strings: the text (valid while the variant is unchanged); null otherwise.
    const char16_t* StringPtr() const;
    // Objects: the object and `this` (no reference added); null otherwise.
    iPKQDispatch2* ObjectPtr() const;
    iPKQDispatch2* ObjThisPtr() const;
    // The `this` to call the object with: its own `this`, or the object.
    iPKQDispatch2* CallThis() const;

    void Clear();
    // A short description for test messages: "void", "int 5", "real 0.5",
    // "string \"x\"", "object 0x...".
    std::string Describe() const;

    const layout::VariantData& Data() const { return d_; }
    layout::VariantData& Data() { return d_; }

private:
    layout::VariantData d_;
};

static_assert(sizeof(Variant) == sizeof(layout::VariantData));
static_assert(sizeof(String) == sizeof(tPKQString));

// Operations on raw variant data shared by Variant and the exported thunks.
namespace variantops {
void InitVoid(layout::VariantData& d);
void InitCopy(layout::VariantData& d, const layout::VariantData& src);
void InitObject(layout::VariantData& d, iPKQDispatch2* object, iPKQDispatch2* objThis);
void InitString(layout::VariantData& d, std::u16string_view text);
void InitInteger(layout::VariantData& d, pkq_int64 value);
void InitReal(layout::VariantData& d, double value);
// Releases what `d` holds; `d` is void afterwards (set before any Release,
// so that re-entrant code sees a consistent value).
void Destroy(layout::VariantData& d);
// Makes `d` a copy of `src` (safe when they are the same or when releasing
// the old value destroys the owner of `src`: the copy is taken first).
void Assign(layout::VariantData& d, const layout::VariantData& src);

pkq_int64 ToInteger(const layout::VariantData& d);
double ToReal(const layout::VariantData& d);
bool ToBool(const layout::VariantData& d);
std::u16string ToText(const layout::VariantData& d);
} // namespace variantops

} // namespace host
