#include "ScriptApi.h"

#include "ScriptApiNatives.h"
#include "ScriptInterface.h"
#include "SimpleBinder.h"

#include <multitrack/decoder/MultiTrackDecoder.h>
#include <plugin/ProcessState.h>

bool RegisterScriptAPI(bool link)
{
    using namespace SimpleBinder::Detail;
    BindUtil members(link, u"WaveSoundBuffer");
    members.Function(u"setMultiTrackMask", scriptapi::SetMultiTrackMask)
        .Function(u"setDelayMultiTrackMask", scriptapi::SetDelayMultiTrackMask)
        .Function(u"rebindMultiTrackID", scriptapi::RebindMultiTrackID)
        .Property(u"multiTrackOpenCallbacks", scriptapi::GetMultiTrackOpenCallbacks);
    return members.Succeeded();
}

namespace scriptapi {

ScriptInterface* LinkedScriptInterface()
{
    // Tests may publish another callback interface; only ours has a table.
    return dynamic_cast<ScriptInterface*>(TheProcessState().scriptInterface);
}

bool IsString(const tPKQVariant* value)
{
    return value && value->Type() == pvtString;
}

int RebindMultiTrackID(tPKQVariant* result, tPKQVariant* currentId, tPKQVariant* newId)
{
    ScriptInterface* linked = LinkedScriptInterface();
    if (!linked)
        return PKQ_E_FAIL;
    if (!IsString(currentId) || !IsString(newId))
        return PKQ_E_INVALIDPARAM;
    const tPKQString next(*newId);
    const tPKQString current(*currentId);
    bool rebound = false;
    if (!next.IsEmpty() && !current.IsEmpty()) {
        if (MultiTrackDecoder* decoder = linked->FindInstance(current))
            rebound = decoder->RebindID(next.c_str());
        else
            linked->LogInstanceNotFound(current);
    }
    if (rebound && result)
        *result = true;
    return PKQ_S_OK;
}

int GetMultiTrackOpenCallbacks(tPKQVariant* result)
{
    ScriptInterface* linked = LinkedScriptInterface();
    if (!linked)
        return PKQ_E_FAIL;
    const tPKQVariantClosure callbacks = linked->OpenCallbacks();
    if (!callbacks.Object)
        return PKQ_E_FAIL; // the host could not make the array
    if (result)
        *result = tPKQVariant(callbacks.Object, callbacks.ObjThis);
    return PKQ_S_OK;
}

} // namespace scriptapi
