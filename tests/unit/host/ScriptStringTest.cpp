// Host strings through the exported thunks, as the plug-in's tPKQString
// methods call them, and the host's text rules.
#include "host/script/HostCalls.h"
#include "host/script/HostText.h"
#include "host/script/ScriptRuntime.h"
#include "host/script/Variant.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace host;
using namespace vyhostfn;

// One plug-in-side string, built and destroyed through the thunks.
class PString {
public:
    PString() { HostFunction<PKQStringCtor>(kPKQStringCtor)(raw_.get()); }
    explicit PString(const char16_t* text)
    {
        HostFunction<PKQStringCtorFromChars>(kPKQStringCtorFromChars)(raw_.get(), text);
    }
    ~PString() { HostFunction<PKQStringDtor>(kPKQStringDtor)(raw_.get()); }
    PString(const PString&) = delete;
    tPKQString* get() { return raw_.get(); }
    tPKQString& operator*() { return *raw_.get(); }
    std::u16string Text() { return HostFunction<PKQStringCStr>(kPKQStringCStr)(raw_.get()); }

    RawStorage<tPKQString> raw_;
};

// Construction through an arbitrary constructor thunk.
struct Built {
    template <typename Ctor, typename... A> explicit Built(Ctor ctor, A&&... a)
    {
        ctor(raw.get(), a...);
    }
    ~Built() { HostFunction<PKQStringDtor>(kPKQStringDtor)(raw.get()); }
    std::u16string Text() { return HostFunction<PKQStringCStr>(kPKQStringCStr)(raw.get()); }
    RawStorage<tPKQString> raw;
};

TEST(ScriptStringTest, DefaultIsEmptyWithATerminatedText)
{
    PString s;
    const pkq_char* text = HostFunction<PKQStringCStr>(kPKQStringCStr)(s.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], u'\0');
    EXPECT_TRUE(HostFunction<PKQStringIsEmpty>(kPKQStringIsEmpty)(s.get()));
}

TEST(ScriptStringTest, NullTextMakesTheEmptyString)
{
    PString s(nullptr);
    EXPECT_EQ(s.Text(), u"");
    Built n(HostFunction<PKQStringCtorFromNarrow>(kPKQStringCtorFromNarrow),
            static_cast<const char*>(nullptr));
    EXPECT_EQ(n.Text(), u"");
    Built l(HostFunction<PKQStringCtorFromCharsLength>(kPKQStringCtorFromCharsLength),
            static_cast<const pkq_char*>(nullptr), 5);
    EXPECT_EQ(l.Text(), u"");
}

TEST(ScriptStringTest, CopiesAreIndependentValues)
{
    PString a(u"one");
    Built b(HostFunction<PKQStringCtorCopy>(kPKQStringCtorCopy), *a);
    HostFunction<PKQStringAppendChars>(kPKQStringAppendChars)(a.get(), u"+");
    EXPECT_EQ(a.Text(), u"one+");
    EXPECT_EQ(b.Text(), u"one");
    EXPECT_NE(HostFunction<PKQStringCStr>(kPKQStringCStr)(a.get()),
              HostFunction<PKQStringCStr>(kPKQStringCStr)(b.raw.get()));
}

TEST(ScriptStringTest, LengthConstructorsTakeTheFirstUnits)
{
    const auto fromChars =
        HostFunction<PKQStringCtorFromCharsLength>(kPKQStringCtorFromCharsLength);
    Built a(fromChars, u"abcdef", 3);
    EXPECT_EQ(a.Text(), u"abc");
    Built stopsAtEnd(fromChars, u"ab", 10); // never reads past the terminator
    EXPECT_EQ(stopsAtEnd.Text(), u"ab");
    Built zero(fromChars, u"abc", 0);
    EXPECT_EQ(zero.Text(), u"");
    Built negative(fromChars, u"abc", -1);
    EXPECT_EQ(negative.Text(), u"");

    PString src(u"hello");
    const auto prefix = HostFunction<PKQStringCtorPrefix>(kPKQStringCtorPrefix);
    Built p2(prefix, *src, 2);
    EXPECT_EQ(p2.Text(), u"he");
    Built pAll(prefix, *src, 99);
    EXPECT_EQ(pAll.Text(), u"hello");
    Built pNone(prefix, *src, -5);
    EXPECT_EQ(pNone.Text(), u"");
}

TEST(ScriptStringTest, NarrowTextIsOneUnitPerByte)
{
    const char bytes[] = {'L',  'i', 'c', ' ', static_cast<char>(0xA9), static_cast<char>(0xE9),
                          '\n', 0};
    Built s(HostFunction<PKQStringCtorFromNarrow>(kPKQStringCtorFromNarrow), bytes);
    EXPECT_EQ(s.Text(), std::u16string(u"Lic \u00A9\u00E9\n"));
}

TEST(ScriptStringTest, ConstructedFromVariantIsTheValueAsText)
{
    const auto fromVariant = HostFunction<PKQStringCtorFromVariant>(kPKQStringCtorFromVariant);
    struct Case {
        Variant value;
        std::u16string text;
    } cases[] = {
        {Variant(), u""},
        {Variant(-7), u"-7"},
        {Variant(pkq_int64{-9007199254740993}), u"-9007199254740993"},
        {Variant(u"text"), u"text"},
        {Variant(-6.0), u"-6"},
        {Variant(2.5), u"2.5"},
        {Variant(0.1), u"0.1"},
        {Variant(static_cast<double>(
             static_cast<float>(std::pow(10.0, static_cast<float>(-6.0f / 20))))),
         u"0.5011872053146362"},
        {Variant(1e21), u"1e+21"},
        {Variant(1e20), u"100000000000000000000"},
        {Variant(1.5e-7), u"1.5e-7"},
        {Variant(0.000001), u"0.000001"},
        {Variant(-0.0), u"0"},
        {Variant(std::numeric_limits<double>::infinity()), u"Infinity"},
        {Variant(-std::numeric_limits<double>::infinity()), u"-Infinity"},
        {Variant(std::nan("")), u"NaN"},
    };
    for (Case& c : cases) {
        Built s(fromVariant, *c.value.pkq());
        EXPECT_EQ(s.Text(), c.text) << c.value.Describe();
    }
    ScriptRuntime rt;
    Variant object = Variant::Object(rt.Global());
    Built o(fromVariant, *object.pkq());
    EXPECT_EQ(o.Text(), u"(object)");
}

TEST(ScriptStringTest, AssignAppendAndConcatenate)
{
    PString s(u"ab");
    tPKQString& self = HostFunction<PKQStringAssignChars>(kPKQStringAssignChars)(s.get(), u"xy");
    EXPECT_EQ(&self, s.get());
    EXPECT_EQ(s.Text(), u"xy");
    HostFunction<PKQStringAssignChars>(kPKQStringAssignChars)(s.get(), nullptr);
    EXPECT_EQ(s.Text(), u"");
    HostFunction<PKQStringAppendChars>(kPKQStringAppendChars)(s.get(), u"12");
    HostFunction<PKQStringAppendChars>(kPKQStringAppendChars)(s.get(), nullptr);
    EXPECT_EQ(s.Text(), u"12");
    // Appending the string's own text.
    HostFunction<PKQStringAppendChars>(kPKQStringAppendChars)(
        s.get(), HostFunction<PKQStringCStr>(kPKQStringCStr)(s.get()));
    EXPECT_EQ(s.Text(), u"1212");

    PString other(u"!");
    RawStorage<tPKQString> sum;
    HostFunction<PKQStringConcat>(kPKQStringConcat)(sum.get(), s.get(), *other);
    EXPECT_EQ(std::u16string(HostFunction<PKQStringCStr>(kPKQStringCStr)(sum.get())), u"1212!");
    EXPECT_EQ(s.Text(), u"1212") << "operator + leaves its operands";
    HostFunction<PKQStringDtor>(kPKQStringDtor)(sum.get());
    RawStorage<tPKQString> twice;
    HostFunction<PKQStringConcat>(kPKQStringConcat)(twice.get(), other.get(), *other);
    EXPECT_EQ(std::u16string(HostFunction<PKQStringCStr>(kPKQStringCStr)(twice.get())), u"!!");
    HostFunction<PKQStringDtor>(kPKQStringDtor)(twice.get());
}

TEST(ScriptStringTest, AsLowerCaseFoldsAsciiAndTheDocumentedRanges)
{
    PString s(u"BGM_Drums-\u00C9\u00D7\u0391\u0416\u0401\uFF21\u0130z");
    PString out(u"old contents");
    HostFunction<PKQStringAsLowerCase>(kPKQStringAsLowerCase)(s.get(), *out);
    EXPECT_EQ(out.Text(), u"bgm_drums-\u00E9\u00D7\u03B1\u0436\u0451\uFF41\u0130z");
    EXPECT_EQ(s.Text(), u"BGM_Drums-\u00C9\u00D7\u0391\u0416\u0401\uFF21\u0130z")
        << "the source is unchanged";
    // Into itself.
    HostFunction<PKQStringAsLowerCase>(kPKQStringAsLowerCase)(s.get(), *s);
    EXPECT_EQ(s.Text(), out.Text());
}

TEST(ScriptStringTest, ReplaceAllOrFirst)
{
    const auto replace = HostFunction<PKQStringReplace>(kPKQStringReplace);
    PString crlf(u"\r\n");
    PString lf(u"\n");
    PString s(u"a\r\nb\r\n\r\nc");
    replace(s.get(), *crlf, *lf, true);
    EXPECT_EQ(s.Text(), u"a\nb\n\nc");

    PString t(u"aaaa");
    PString aa(u"aa");
    PString b(u"b");
    replace(t.get(), *aa, *b, false);
    EXPECT_EQ(t.Text(), u"baa");
    replace(t.get(), *aa, *b, true);
    EXPECT_EQ(t.Text(), u"bb");

    PString empty;
    PString u(u"xyz");
    replace(u.get(), *empty, *b, true);
    EXPECT_EQ(u.Text(), u"xyz") << "an empty pattern changes nothing";
    replace(u.get(), *u, *b, true); // the string as its own pattern
    EXPECT_EQ(u.Text(), u"b");

    PString none(u"abc");
    replace(none.get(), *crlf, *lf, true);
    EXPECT_EQ(none.Text(), u"abc");
}

TEST(ScriptStringTest, HintIsStablePerStringAndResetWhenTheTextChanges)
{
    const auto hint = HostFunction<PKQStringGetHint>(kPKQStringGetHint);
    PString a(u"key");
    PString b(u"key");
    pkq_uint32* ha = hint(a.get());
    ASSERT_NE(ha, nullptr);
    EXPECT_EQ(hint(a.get()), ha) << "the same pointer each time";
    EXPECT_NE(hint(b.get()), ha) << "each string has its own";
    EXPECT_EQ(*ha, 0u) << "not computed until a member lookup fills it";
    *ha = HashOf(u"key");
    HostFunction<PKQStringAppendChars>(kPKQStringAppendChars)(a.get(), u"2");
    EXPECT_EQ(hint(a.get()), ha);
    EXPECT_EQ(*ha, 0u) << "a changed text drops the old hash";
}

TEST(ScriptStringTest, HintIsFilledByAMemberLookupAndAWrongOneIsAFault)
{
    ScriptRuntime rt;
    Variant value(1);
    PString name(u"member");
    pkq_uint32* h = HostFunction<PKQStringGetHint>(kPKQStringGetHint)(name.get());
    ASSERT_EQ(
        rt.Global()->SetMember(PKQ_MEMBERENSURE, name.Text().c_str(), h, value.pkq(), nullptr), 0);
    EXPECT_EQ(*h, HashOf(u"member"));
    EXPECT_TRUE(rt.Faults().empty());
    pkq_uint32 wrong = HashOf(u"Member");
    Variant out;
    EXPECT_EQ(rt.Global()->GetMember(0, u"member", &wrong, out.pkq(), nullptr), 0);
    EXPECT_EQ(out.AsInteger(), 1);
    ASSERT_EQ(rt.Faults().size(), 1u);
    EXPECT_NE(rt.Faults()[0].find("member"), std::string::npos);
}

TEST(ScriptStringTest, StricmpFoldsCaseWithTheSameRule)
{
    const auto stricmp = HostFunction<PKQStricmpFn>(kPKQStricmp);
    EXPECT_EQ(stricmp(u"Function", u"function"), 0);
    EXPECT_EQ(stricmp(u"FUNCTION", u"Function"), 0);
    EXPECT_EQ(stricmp(u"\u00C9t\u00C9", u"\u00E9t\u00E9"), 0);
    EXPECT_LT(stricmp(u"Object", u"Property"), 0);
    EXPECT_GT(stricmp(u"property", u"Object"), 0);
    EXPECT_LT(stricmp(u"abc", u"abcd"), 0);
    EXPECT_GT(stricmp(u"abcd", u"ABC"), 0);
    EXPECT_EQ(stricmp(nullptr, u""), 0);
    EXPECT_LT(stricmp(nullptr, u"a"), 0);
}

TEST(ScriptStringTest, IntToStrWritesDecimalText)
{
    const auto toStr = HostFunction<PKQIntToStrFn>(kPKQIntToStr);
    pkq_char buffer[16];
    for (auto [value, text] : {std::pair<pkq_int, std::u16string>{0, u"0"},
                               {12, u"12"},
                               {-1, u"-1"},
                               {2147483647, u"2147483647"},
                               {-2147483647 - 1, u"-2147483648"}}) {
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(toStr(value, buffer), buffer);
        EXPECT_EQ(std::u16string(buffer), text);
    }
}

TEST(ScriptStringTest, TextToNumberRules)
{
    EXPECT_EQ(TextToInteger(u"  42  "), 42);
    EXPECT_EQ(TextToInteger(u"-6"), -6);
    EXPECT_EQ(TextToInteger(u"+0x1F"), 31);
    EXPECT_EQ(TextToInteger(u"2.9"), 2);
    EXPECT_EQ(TextToInteger(u"-2.9"), -2);
    EXPECT_EQ(TextToInteger(u"1e3"), 1000);
    EXPECT_EQ(TextToInteger(u"abc"), 0);
    EXPECT_EQ(TextToInteger(u""), 0);
    EXPECT_EQ(TextToInteger(u"9223372036854775807"), 9223372036854775807LL);
    EXPECT_DOUBLE_EQ(TextToReal(u"-6"), -6.0);
    EXPECT_DOUBLE_EQ(TextToReal(u" 2.5e-1x"), 0.25);
    EXPECT_DOUBLE_EQ(TextToReal(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(TextToReal(u"0x10"), 16.0);
    EXPECT_EQ(TextToReal(u"-"), 0.0);
    EXPECT_EQ(TextToReal(u"track"), 0.0);
}

TEST(ScriptStringTest, RealToTextRoundTrips)
{
    for (double v : {0.1, 1.0 / 3, -6.0, 123456.789, 5e-324, 1.7976931348623157e308,
                     0.5011872053146362, 1e-6, 1e-7, 123e19, 1e21}) {
        const std::u16string text = RealToText(v);
        EXPECT_EQ(TextToReal(text), v) << std::string(text.begin(), text.end());
    }
}

} // namespace
