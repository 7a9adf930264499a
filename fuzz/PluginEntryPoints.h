// The plug-in's exported entry points, called directly: the fuzz targets
// link the static core, so the engine's three calls are plain functions
// here (and libFuzzer sees the plug-in's coverage without a loader).
#pragma once

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/HostEngine.h>

extern "C" HRESULT VY_STDCALL GetModuleInstance(IHSSModule** out, HSSStorageProvider* storageProvider,
                                                IStream* configStream, void* mainWindow);
extern "C" HRESULT VY_STDCALL V2Link(HostFunctionExporter* exporter);
extern "C" HRESULT VY_STDCALL V2Unlink();
