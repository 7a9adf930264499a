// The host's string. Its layout belongs to the host: the plug-in holds one
// pointer's worth of storage and calls the host for every operation.
#pragma once

#include "PkqTypes.h"

class tPKQVariant;

class tPKQString {
public:
    tPKQString();
    tPKQString(const tPKQString& other);
    tPKQString(const pkq_char* text);            // null → empty
    tPKQString(const pkq_char* text, int length); // the first `length` code units
    tPKQString(const pkq_nchar* text);           // narrow text, one code unit per byte
    tPKQString(const tPKQString& other, int length); // the first `length` code units of `other`
    explicit tPKQString(const tPKQVariant& value); // the value as text
    ~tPKQString();

    tPKQString& operator=(const pkq_char* text);
    tPKQString& operator=(const tPKQString&) = delete; // not offered by the host
    void operator+=(const pkq_char* text);
    tPKQString operator+(const tPKQString& other) const;

    // Zero-terminated, never null, valid until the string changes.
    const pkq_char* c_str() const;
    bool IsEmpty() const;
    // Stores this string lower-cased (the host's rule) into `out`.
    void AsLowerCase(tPKQString& out) const;
    // Replaces `from` by `to`: every occurrence when `all`, else the first.
    void Replace(const tPKQString& from, const tPKQString& to, bool all);
    // The hash hint to pass with member calls by this name.
    pkq_uint32* GetHint();

private:
    void* Ptr; // owned by the host
};

using ttstr = tPKQString;
