// A host module image whose storage provider is a static object inside it.
// The provider serves nothing: tests only ask which image holds it.
#include <vymultitrack/CallingConvention.h>
#include <vymultitrack/HSSStorageProvider.h>

namespace {

class StaticStorageProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = iid == IID_IUnknown ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG VY_STDCALL AddRef() override { return ++count; }
    ULONG VY_STDCALL Release() override { return --count; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t*, IStream** out) override
    {
        if (out)
            *out = nullptr;
        return static_cast<HRESULT>(0x80030002u);
    }
    ULONG count = 1;
};

StaticStorageProvider provider;

} // namespace

VY_EXPORT HSSStorageProvider* FakeHostStorageProvider()
{
    return &provider;
}
