// The native functions behind the WaveSoundBuffer members (ScriptApi.h),
// in the binder's signatures, and what they share. Each receives the result
// variant first (null when the host wants no result) and answers the host
// result code.
#pragma once

#include <vymultitrack/PkqVariant.h>

#include <cstdint>

class ScriptInterface;
class MultiTrackDecoder;

namespace scriptapi {

// "setMultiTrackMask": id, tracks, volume, then [fadeMs] in the rest.
int SetMultiTrackMask(tPKQVariant* result, tPKQVariant* id, tPKQVariant* tracks,
                      tPKQVariant* volume, int restCount, tPKQVariant** rest);
// "setDelayMultiTrackMask": id, switch points, changes, then [fadeMs].
int SetDelayMultiTrackMask(tPKQVariant* result, tPKQVariant* id, tPKQVariant* points,
                           tPKQVariant* changes, int restCount, tPKQVariant** rest);
// "rebindMultiTrackID": current id, new id.
int RebindMultiTrackID(tPKQVariant* result, tPKQVariant* currentId, tPKQVariant* newId);
// The getter of "multiTrackOpenCallbacks".
int GetMultiTrackOpenCallbacks(tPKQVariant* result);

// The published ScriptInterface, or null while the script face is not
// linked.
[[nodiscard]] ScriptInterface* LinkedScriptInterface();
// True when `value` is not null and holds a string.
[[nodiscard]] bool IsString(const tPKQVariant* value);

} // namespace scriptapi
