// The gain query of one built-in decoder kind: a global gain (dB) and gain
// mode read from the host's command line, plus a per-source offset that a
// script callback may return. V2Link makes one for Opus ("-opus_gain",
// "-opus_rg", "setGainQueryCallback_mtbiOPUS") and one for Vorbis.
#pragma once

#include <sound/QueryGainInterface.h>

#include <cstdint>
#include <memory>

class SystemArgumentQueryGainImpl;

class SystemArgumentQueryGain : public QueryGainInterface {
public:
    // `gainOption` and `modeOption` name the command-line options (e.g.
    // u"-opus_gain", u"-opus_rg"); `callbackName` (may be null) names the
    // setter method added to the script class WaveSoundBuffer, through
    // which a script sets the per-source callback. The three texts are not
    // copied: they must outlive the object (string literals). The setter is
    // added when the host has a global object with a WaveSoundBuffer
    // member; otherwise it silently does not exist. When the state cannot be
    // allocated the object answers kGainModeNoAnswer to every query.
    SystemArgumentQueryGain(const char16_t* gainOption, const char16_t* modeOption,
                            const char16_t* callbackName);
    // Removes the setter method from WaveSoundBuffer and releases the
    // script callback.
    virtual ~SystemArgumentQueryGain();
    SystemArgumentQueryGain(const SystemArgumentQueryGain&) = delete;
    SystemArgumentQueryGain& operator=(const SystemArgumentQueryGain&) = delete;

    // Stores into `*gain` the global gain in dB (the options are re-read
    // whenever the host's command-line generation has grown since the last
    // read) plus the numeric answer of the script callback for `sourceName`,
    // and answers the gain mode: kGainModeNone, kGainModeTrack or
    // kGainModeAlbum (the default). Without state: kGainModeNoAnswer and
    // `*gain` untouched; a null `gain` only answers the mode. A script
    // exception raised by the callback leaves as a thrown tHMRExceptionDesc.
    std::int32_t QueryGain(const char16_t* sourceName, float* gain) override;

private:
    std::unique_ptr<SystemArgumentQueryGainImpl> impl; // null when its allocation failed
};
