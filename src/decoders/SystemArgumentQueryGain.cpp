#include "SystemArgumentQueryGain.h"

#include "SystemArgumentQueryGainImpl.h"

#include <new>

SystemArgumentQueryGain::SystemArgumentQueryGain(const char16_t* gainOption,
                                                 const char16_t* modeOption,
                                                 const char16_t* callbackName)
    : impl(new (std::nothrow) SystemArgumentQueryGainImpl(gainOption, modeOption, callbackName))
{
    if (impl && callbackName)
        static_cast<void>(impl->RegisterSetter()); // a missing setter is no error
}

SystemArgumentQueryGain::~SystemArgumentQueryGain() = default;

std::int32_t SystemArgumentQueryGain::QueryGain(const char16_t* sourceName, float* gain)
{
    if (!impl)
        return kGainModeNoAnswer;
    impl->RefreshOptions();
    if (!gain)
        return impl->gainMode;
    *gain = impl->globalGain;
    float offset = 0.0f;
    if (impl->CallbackOffset(sourceName, offset))
        *gain += offset;
    return impl->gainMode;
}
