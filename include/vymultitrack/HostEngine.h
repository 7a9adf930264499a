// What the host engine hands the plug-in's script face: the exporter
// through which host functions are bound by signature, the exception record
// of a host exception, and the try-block function types.
#pragma once

#include "Hresult.h"
#include "PkqString.h"
#include "PkqTypes.h"

class HostFunctionExporter {
public:
    // Wide-name lookup (unused by the plug-in).
    virtual bool VY_STDCALL QueryFunctions(const pkq_char** names, void** functions, pkq_uint32 count) = 0;
    // Fills functions[i] with the host function whose signature is names[i]
    // (narrow text, exact); true when every one was found.
    virtual bool VY_STDCALL QueryFunctionsByNarrowString(const char** names, void** functions, pkq_uint32 count) = 0;

protected:
    ~HostFunctionExporter() = default;
};

// A host (script) exception: its type and message. Copied and thrown by
// value out of the plug-in's try-block wrappers.
struct tHMRExceptionDesc {
    tPKQString type;
    tPKQString message;
};

using tHMRTryBlockFunction = void(VY_CDECL*)(void* data);
using tHMRCatchBlockFunction = bool(VY_CDECL*)(void* data, const tHMRExceptionDesc& desc);
using tHMRFinallyBlockFunction = void(VY_CDECL*)(void* data);

// The script face's entry points.
using V2LinkFunction = HRESULT(VY_STDCALL*)(HostFunctionExporter* exporter);
using V2UnlinkFunction = HRESULT(VY_STDCALL*)();
