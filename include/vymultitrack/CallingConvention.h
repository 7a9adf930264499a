// Calling-convention markers for every function that crosses the boundary
// between the host and a plug-in library.
//
// On 32-bit Windows the host's interfaces use the callee-cleans convention
// (__stdcall) for COM-style operations and exported entry points, and the
// caller-cleans convention (__cdecl) for the script object slots. Everywhere
// else (x86-64, ARM) there is one convention and the markers expand to nothing.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define VY_STDCALL __stdcall
#define VY_CDECL __cdecl
#else
#define VY_STDCALL
#define VY_CDECL
#endif

// Marks a function that a library exports to its loader. The plug-in builds
// with hidden visibility, so only functions carrying this marker are visible.
#if defined(_WIN32)
#define VY_EXPORT extern "C" __declspec(dllexport)
#else
#define VY_EXPORT extern "C" __attribute__((visibility("default")))
#endif
