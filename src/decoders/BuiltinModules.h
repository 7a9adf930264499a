// The process-wide modules through which sources reach the built-in Opus
// and Vorbis decoders.
#pragma once

#include <vymultitrack/IHSSWaveDecoder.h>

enum class BuiltinDecoderKind { Opus, Vorbis };

// Opens `sourceName` with the built-in decoder of `kind`, creating that
// kind's module on first use with the plug-in's storage provider. The
// decoder comes with one reference for the caller. Null when no storage
// provider is held yet (nothing is created then), or the source cannot be
// opened. Nothing is logged.
[[nodiscard]] IHSSWaveDecoder* OpenBuiltinDecoder(BuiltinDecoderKind kind, const char16_t* sourceName);

// Releases the Vorbis module, then the Opus module, and clears both; a
// later OpenBuiltinDecoder creates them again.
void ReleaseBuiltinModules();
