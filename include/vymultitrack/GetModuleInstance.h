// The entry point that every sound-system module library exports.
#pragma once

#include "CallingConvention.h"
#include "HSSStorageProvider.h"
#include "IHSSModule.h"
#include "Stream.h"

// Stores a new module with one reference through `out` (null when it cannot
// be made). `storageProvider` is the host's storage (may be null);
// `configStream` and `mainWindow` are reserved. Answers S_OK, or a failure
// code when the library cannot serve.
using GetModuleInstanceFunction = HRESULT(VY_STDCALL*)(IHSSModule** out,
                                                       HSSStorageProvider* storageProvider,
                                                       IStream* configStream, void* mainWindow);

inline constexpr const char* kGetModuleInstanceExport = "GetModuleInstance";
