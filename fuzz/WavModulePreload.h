// The plug-in's module registry as the fuzz targets set it up: the WAV
// decoder module (libvywav.so, the build's own) linked by its full path, as
// a list naming it would link it, so that ".wav" sources open through it;
// and, where nothing reads them, the registry's log lines dropped (a
// fuzzer would print one per input).
#pragma once

namespace fuzz {

// Aborts when the registry is missing or the module does not link.
void LinkWavModule();

// Gives the registry a logger that drops every line.
void SilenceRegistryLog();

} // namespace fuzz
