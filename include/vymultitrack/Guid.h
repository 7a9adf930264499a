// GUID, the 16-byte interface identifier of COM, and the ids the plug-in's
// modules and decoders answer.
#pragma once

#include <cstdint>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const IID&;

static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// {313864E2-910E-496F-8A6D-43465C105B58}: the sound-system object id that
// every module and decoder answers besides IUnknown.
inline constexpr IID IID_IHSSObject = {
    0x313864E2, 0x910E, 0x496F, {0x8A, 0x6D, 0x43, 0x46, 0x5C, 0x10, 0x5B, 0x58}};

// {A938D1A5-2980-498B-B051-99931D41895D}: carried in the data of the sound
// system, never compared against by any operation.
inline constexpr IID IID_IHSSReserved = {
    0xA938D1A5, 0x2980, 0x498B, {0xB0, 0x51, 0x99, 0x93, 0x1D, 0x41, 0x89, 0x5D}};

// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
