// Scalar types of the host engine's script interface.
#pragma once

#include "CallingConvention.h"

#include <cstdint>

using pkq_char = char16_t; // UTF-16 code unit
using pkq_nchar = char;    // narrow (8-bit) text
using pkq_int = std::int32_t;
using pkq_int32 = std::int32_t;
using pkq_uint32 = std::uint32_t;
using pkq_int64 = std::int64_t;
using pkq_real = double;
using tQXInteger = std::int64_t;
using tQXReal = double;

// Variant type codes.
enum tPKQVariantType : std::int32_t {
    pvtVoid = 0,
    pvtObject = 1,
    pvtString = 2,
    pvtOctet = 3,
    pvtInteger = 4,
    pvtReal = 5,
};

// Result codes of script-facing operations.
inline constexpr pkq_int PKQ_S_OK = 0;
inline constexpr pkq_int PKQ_S_TRUE = 1;
inline constexpr pkq_int PKQ_S_FALSE = 2;
inline constexpr pkq_int PKQ_E_FAIL = -1;
inline constexpr pkq_int PKQ_E_MEMBERNOTFOUND = -1001;
inline constexpr pkq_int PKQ_E_NOTIMPL = -1002;
inline constexpr pkq_int PKQ_E_INVALIDPARAM = -1003;
inline constexpr pkq_int PKQ_E_BADPARAMCOUNT = -1004;
inline constexpr pkq_int PKQ_E_INVALIDTYPE = -1005;
inline constexpr pkq_int PKQ_E_INVALIDOBJECT = -1006;
inline constexpr pkq_int PKQ_E_ACCESSDENYED = -1007;

// Member flags.
inline constexpr pkq_uint32 PKQ_MEMBERENSURE = 0x0200;    // create the member when missing
inline constexpr pkq_uint32 PKQ_MEMBERMUSTEXIST = 0x0400; // fail when the member is missing
inline constexpr pkq_uint32 PKQ_IGNOREPROP = 0x0800;      // store over a property object
