// Opening the source files a track list names: through the built-in Opus
// and Vorbis decoders, or through the decoder module registered for the
// file's extension, linking module libraries that lists name on the way.
#pragma once

#include <vymultitrack/IHSSWaveDecoder.h>

#include <string>

// Opens the source `path` (a storage name; its extension picks the decoder)
// and returns its decoder with one reference for the caller, or null.
//
// With `preferBuiltin`, ".opus" and ".ogg" (ASCII case ignored) go to the
// built-in Opus and Vorbis decoders first. When that is not asked for or
// gives nothing, the module that the process registry has for the
// extension opens it (FindModuleForFile logs an unknown extension); a
// decoder that comes back with a failure code is released. Null also
// without a registry, and for a path whose extension is ".mtrk" or ".mchx":
// a track list is never a source, so no list can open itself again.
[[nodiscard]] IHSSWaveDecoder* OpenSource(const std::u16string& path, bool preferBuiltin);

// The decoder preference after a list's decoder-choice `field`. Empty →
// `preferBuiltin` unchanged; first character '*' → true (built-in decoders
// first); anything else names a module library to link through the process
// registry (linked once; failures logged once per name): a module → false
// (sources go through the linked modules), none or no registry →
// `preferBuiltin` unchanged.
[[nodiscard]] bool ChooseDecoders(const std::u16string& field, bool preferBuiltin);
