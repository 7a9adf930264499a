// The state behind a SystemArgumentQueryGain: the options last read from the
// command line, and the script callback with the setter method that
// replaces it.
#pragma once

#include <plugin/tPKQDispatch.h>

#include <cstdint>

class SystemArgumentQueryGainImpl {
public:
    // The script method that sets the callback. The member of
    // WaveSoundBuffer named `callbackName` holds it (one reference); it
    // points back at the state that made it until either goes away.
    class tSetCallbackFunction : public tPKQDispatch {
    public:
        explicit tSetCallbackFunction(SystemArgumentQueryGainImpl* owner) : owner(owner) {}

        // With a member name: PKQ_E_MEMBERNOTFOUND (−1001). With no argument:
        // PKQ_E_BADPARAMCOUNT (−1004). Otherwise drops the current callback
        // and, when params[0] holds an object, takes it (with its `this`) as
        // the new one; answers 0. PKQ_E_FAIL once the gain query is gone.
        pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                    iPKQDispatch2* objThis) override;

        // The gain query is being destroyed: calls no longer reach it.
        void Detach() { owner = nullptr; }

    protected:
        ~tSetCallbackFunction() override;

    private:
        SystemArgumentQueryGainImpl* owner; // not owned; null once detached
    };

    // The option texts are not copied (see SystemArgumentQueryGain).
    SystemArgumentQueryGainImpl(const char16_t* gainOption, const char16_t* modeOption,
                                const char16_t* callbackName);
    // Removes the setter method (when one was added) and drops the callback.
    ~SystemArgumentQueryGainImpl();
    SystemArgumentQueryGainImpl(const SystemArgumentQueryGainImpl&) = delete;
    SystemArgumentQueryGainImpl& operator=(const SystemArgumentQueryGainImpl&) = delete;

    // Adds the setter method to WaveSoundBuffer; false when the host has no
    // global object, no WaveSoundBuffer object or refuses the member.
    bool RegisterSetter();
    // Re-reads the options when the host's command-line generation has grown.
    void RefreshOptions();
    // Calls the callback with `sourceName`; true with its numeric answer in
    // `offset`, false (offset untouched) without a callback, when the call
    // fails or when it answers no number. A script exception leaves as a
    // thrown tHMRExceptionDesc.
    [[nodiscard]] bool CallbackOffset(const char16_t* sourceName, float& offset);

    // Releases the callback and its `this` (each when set) and clears them.
    void ClearCallback();
    // Takes the object of `value` and its `this` (one reference each) as the
    // callback when `value` holds an object; otherwise leaves none.
    void TakeCallback(tPKQVariant& value);

    std::int32_t generation = -1;
    float globalGain = 0.0f;
    std::int32_t gainMode = 2;
    const char16_t* gainOption;
    const char16_t* modeOption;
    const char16_t* callbackName;            // may be null
    iPKQDispatch2* callbackObject = nullptr; // one reference while set
    iPKQDispatch2* callbackThis = nullptr;   // one reference while set

private:
    void ReadGainOption();
    void ReadModeOption();
    void LogGlobalGain() const;
    void UnregisterSetter();

    tSetCallbackFunction* setter = nullptr; // no reference; cleared when it goes away
};
