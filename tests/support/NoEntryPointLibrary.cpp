// A library without the GetModuleInstance entry point: linking it must fail.
#include <vymultitrack/CallingConvention.h>

VY_EXPORT int VyTestNoEntryPoint()
{
    return 42;
}
