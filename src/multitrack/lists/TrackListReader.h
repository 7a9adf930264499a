// Reading track lists: text in (already decoded, see DecodeTrackListText),
// a TrackListDescription out. Needs no storage and opens nothing, so the
// plug-in's mixers and the renderer's --check read every list alike.
#pragma once

#include "TrackListDescription.h"

#include <optional>
#include <string_view>

// The form of the list `path` (a storage name) by its extension (ASCII case
// ignored) and, for ".mtrk", its file name; none for any other extension.
[[nodiscard]] std::optional<TrackListForm> TrackListFormOf(std::u16string_view path);

// Whether `fileName` is the inline ".mtrk" form: two or more non-empty
// parts separated by '|'.
[[nodiscard]] bool IsInlineMtrkName(std::u16string_view fileName);

// A ".mtrk" list. The file form reads `text` line by line: lines with fewer
// than two tab-separated fields are skipped; the decoder choice of a line
// (third field) is recorded on it. The inline form ignores `text`. Refused
// (with an empty message) only when `path` has no file name; whether the
// list plays depends on which sources open.
[[nodiscard]] TrackListDescription ReadMtrkList(std::u16string_view path, std::u16string_view text);

// A ".mchx" list, statements one per line, fields separated by tabs, in any
// order; '#' starts a comment line, unknown keywords (case-sensitive) are
// ignored:
//   channel <count>                  channels of every track and the output
//   source  <file> [decoder choice]  the source, relative to the list
//   track   <name> <ch0> <ch1> ...   source channel per output channel
//   volume  <name> [value]           starting volume (1.0 when missing)
// The first failing line refuses the list: "invalid channel count",
// "duplicated channel found", "invalid source", "multi source found", "no
// track name", "no volume name"; after the last line, in this order: "no
// channel", "no track", "no source". Text without a line is refused with an
// empty message. Volumes: one per track when there are "volume" lines (1.0
// where none applies, or where the value is not a finite number; the first
// line naming a track wins).
[[nodiscard]] TrackListDescription ReadMchxList(std::u16string_view path, std::u16string_view text);

// ReadMtrkList or ReadMchxList by TrackListFormOf(path); refused with an
// empty message for any other extension.
[[nodiscard]] TrackListDescription ReadTrackList(std::u16string_view path, std::u16string_view text);
