#include "SystemArgumentQueryGainImpl.h"

#include <plugin/HostFunctions.h>
#include <plugin/HostTryBlock.h>

#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr const pkq_char* kClassName = u"WaveSoundBuffer";

// Gives back one reference on a host object when its owner goes.
struct ReleaseReference {
    void operator()(iPKQDispatch2* object) const { object->Release(); }
};
using HostReference = std::unique_ptr<iPKQDispatch2, ReleaseReference>;

// One more reference on `object` (may be null), held by the answer.
HostReference Hold(iPKQDispatch2* object)
{
    if (object)
        object->AddRef();
    return HostReference(object);
}

// Calls `use(global, classObject, classThis)` with the host's global object
// and its WaveSoundBuffer object (with that object's `this`, or the object
// itself when that is null) and answers true; false when there is no global
// object or it has no such object member. No reference is left behind.
template <class Use> bool WithScriptClass(Use use)
{
    const HostReference global(hostapi::HMRGetScriptDispatch());
    if (!global)
        return false;
    tPKQVariant value;
    if (global->GetMember(0, kClassName, nullptr, &value, global.get()) < 0 ||
        value.Type() != pvtObject)
        return false;
    const tPKQVariantClosure& closure = value.AsObjectClosureNoAddRef();
    if (!closure.Object)
        return false;
    use(global.get(), closure.Object, closure.ObjThis ? closure.ObjThis : closure.Object);
    return true;
}

} // namespace

// --- the setter method ---------------------------------------------------

pkq_int SystemArgumentQueryGainImpl::tSetCallbackFunction::CallMember(
    pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*, pkq_int count,
    tPKQVariant** params, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (count < 1)
        return PKQ_E_BADPARAMCOUNT;
    if (!owner)
        return PKQ_E_FAIL;
    owner->ClearCallback();
    if (params && params[0])
        owner->TakeCallback(*params[0]);
    return PKQ_S_OK;
}

SystemArgumentQueryGainImpl::tSetCallbackFunction::~tSetCallbackFunction()
{
    if (owner)
        owner->setter = nullptr;
}

// --- the state -----------------------------------------------------------

SystemArgumentQueryGainImpl::SystemArgumentQueryGainImpl(const char16_t* gainOptionName,
                                                         const char16_t* modeOptionName,
                                                         const char16_t* setterName)
    : gainOption(gainOptionName), modeOption(modeOptionName), callbackName(setterName)
{
}

SystemArgumentQueryGainImpl::~SystemArgumentQueryGainImpl()
{
    try {
        UnregisterSetter();
    } catch (...) {
        // The host failed while the member was removed; the state goes anyway.
    }
    // A setter the host still holds (its member could not be removed) must
    // not reach the freed state.
    if (setter)
        setter->Detach();
    ClearCallback();
}

bool SystemArgumentQueryGainImpl::RegisterSetter()
{
    if (!callbackName)
        return false;
    bool added = false;
    WithScriptClass(
        [&](iPKQDispatch2* global, iPKQDispatch2* classObject, iPKQDispatch2* classThis) {
            auto* function = new (std::nothrow) tSetCallbackFunction(this);
            if (!function)
                return;
            const tPKQVariant method(function, global);
            function->Release(); // the variant holds the only reference now
            setter = function;   // cleared by the setter's destructor should the host refuse it
            added = classObject->SetMember(PKQ_MEMBERENSURE, callbackName, nullptr, &method,
                                           classThis) >= 0;
        });
    return added;
}

void SystemArgumentQueryGainImpl::UnregisterSetter()
{
    if (!callbackName)
        return;
    WithScriptClass([&](iPKQDispatch2*, iPKQDispatch2* classObject, iPKQDispatch2* classThis) {
        classObject->RemoveMember(0, callbackName, nullptr, classThis);
    });
    callbackName = nullptr;
}

void SystemArgumentQueryGainImpl::ClearCallback()
{
    iPKQDispatch2* object = callbackObject;
    iPKQDispatch2* objThis = callbackThis;
    callbackObject = nullptr;
    callbackThis = nullptr;
    if (object)
        object->Release();
    if (objThis)
        objThis->Release();
}

void SystemArgumentQueryGainImpl::TakeCallback(tPKQVariant& value)
{
    if (value.Type() != pvtObject || !value.AsObjectNoAddRef())
        return;
    const tPKQVariantClosure& closure = value.AsObjectClosure(); // one reference on each
    callbackObject = closure.Object;
    callbackThis = closure.ObjThis;
}

// --- options -------------------------------------------------------------

void SystemArgumentQueryGainImpl::RefreshOptions()
{
    const pkq_int current = hostapi::HMRGetCommandLineArgumentGeneration();
    if (generation >= current)
        return;
    generation = current;
    ReadGainOption();
    ReadModeOption();
}

void SystemArgumentQueryGainImpl::ReadGainOption()
{
    tPKQVariant value;
    if (!gainOption || !hostapi::HMRGetCommandLine(gainOption, &value))
        return;
    const float gain = static_cast<float>(value.AsReal());
    if (gain == globalGain)
        return;
    globalGain = gain;
    LogGlobalGain();
}

void SystemArgumentQueryGainImpl::ReadModeOption()
{
    tPKQVariant value;
    if (!modeOption || !hostapi::HMRGetCommandLine(modeOption, &value))
        return;
    const tPKQString text(value);
    switch (text.c_str()[0]) {
    case u'A':
    case u'a':
        gainMode = 2;
        break;
    case u'N':
    case u'n':
        gainMode = 0;
        break;
    case u'T':
    case u't':
        gainMode = 1;
        break;
    default:
        break; // an empty or unknown value keeps the mode
    }
}

void SystemArgumentQueryGainImpl::LogGlobalGain() const
{
    const pkq_char* name = gainOption;
    if (name[0] == u'-')
        ++name;
    // The ratio is worked out as the engine does: the exponent in single
    // precision, the power in double, the result in single again.
    const float ratio = static_cast<float>(std::pow(10.0, static_cast<double>(globalGain / 20.0f)));
    const tPKQString gainText{tPKQVariant(static_cast<pkq_real>(globalGain))};
    const tPKQString ratioText{tPKQVariant(static_cast<pkq_real>(ratio))};
    const tPKQString message =
        hostapi::HMRFormatMessage(u"Setting global gain to %1dB (%2%%)", gainText, ratioText);
    tPKQString line(name);
    line += u": ";
    line += message.c_str();
    hostapi::HMRAddLog(line);
}

// --- the callback --------------------------------------------------------

bool SystemArgumentQueryGainImpl::CallbackOffset(const char16_t* sourceName, float& offset)
{
    if (!callbackObject)
        return false;
    // The callback is held for the call: through the setter it may replace
    // itself while it runs.
    const HostReference object = Hold(callbackObject);
    const HostReference objThis = Hold(callbackThis);

    tPKQVariant argument{tPKQString(sourceName)};
    tPKQVariant* params[] = {&argument};
    tPKQVariant result;
    if (hostapi::TryCallMember(object.get(), 0, nullptr, nullptr, &result, 1, params,
                               objThis.get()) < 0)
        return false;
    const tPKQVariantType type = result.Type();
    if (type != pvtInteger && type != pvtReal)
        return false;
    offset = static_cast<float>(result.AsReal());
    return true;
}
