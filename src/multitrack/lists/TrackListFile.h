// Reading a whole track-list file through the host's storage.
#pragma once

#include "TrackListDescription.h"

#include <vymultitrack/HSSStorageProvider.h>

#include <string>

// Opens `path` (zero-terminated; null reads nothing) through `storage` (may
// be null), reads it whole with one Read and decodes it as
// DecodeTrackListText does. The stream is released before returning.
//
// The size comes from Stat(STATFLAG_NONAME), or when Stat fails from Seek:
// 0 from the current position, 0 from the end (the size), back to the
// position first learned. When the Read delivers fewer bytes than asked
// (S_OK or S_FALSE), the text is made from those that arrived.
//
// True with the text in `text` (possibly empty). False with `text` empty
// when: no storage or path; the open fails or gives no stream; Stat and the
// Seek round trip fail; the size is 2^32 bytes or more; the bytes or the
// text cannot be allocated; Read answers a failure (negative) code. Never
// throws.
[[nodiscard]] bool ReadTextFile(HSSStorageProvider* storage, const char16_t* path,
                                std::u16string& text);

// Reads the list `path` (zero-terminated; null reads as an empty name)
// through `storage` with ReadTextFile, unless it is the inline ".mtrk" form
// or no list at all, and describes it with ReadTrackList. A list that cannot be read reads as
// empty text.
[[nodiscard]] TrackListDescription ReadTrackListFile(HSSStorageProvider* storage, const char16_t* path);
