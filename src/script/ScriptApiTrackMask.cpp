// "setMultiTrackMask" and "setDelayMultiTrackMask": track gain changes by
// multi-track ID, at once or at a switch point.
#include "ScriptApiArray.h"
#include "ScriptApiNatives.h"
#include "ScriptInterface.h"

#include <multitrack/decoder/MultiTrackDecoder.h>

#include <optional>
#include <string>
#include <vector>

namespace scriptapi {

namespace {

// The fade time in milliseconds: the optional fourth argument's integer,
// truncated to 32 bits; 0 without one.
std::uint32_t FadeTime(int restCount, tPKQVariant** rest)
{
    if (restCount < 1 || !rest || !rest[0])
        return 0;
    return static_cast<std::uint32_t>(rest[0]->AsInteger());
}

struct Target {
    MultiTrackDecoder* decoder;
    int code;
};

// The decoder registered under `id` (a string variant). An empty ID answers
// −1003 and leaves `result` alone. An unknown one is logged, gives the
// script −1 and answers 0. A known one clears `result`.
Target FindTarget(ScriptInterface& linked, const tPKQVariant& id, tPKQVariant* result)
{
    const tPKQString text(id);
    if (text.IsEmpty())
        return {nullptr, PKQ_E_INVALIDPARAM};
    MultiTrackDecoder* decoder = linked.FindInstance(text);
    if (!decoder) {
        linked.LogInstanceNotFound(text);
        if (result)
            *result = static_cast<pkq_int32>(-1);
        return {nullptr, PKQ_S_OK};
    }
    if (result)
        result->Clear();
    return {decoder, PKQ_S_OK};
}

// Sets the tracks named by an array of names. The texts are copied: each
// is read into a variant that goes away before the decoder is called. A
// member that is not a string passes a null name, which the decoder reads
// as all tracks, like an empty name.
void SetTrackMaskOfArray(MultiTrackDecoder& decoder, const tPKQVariant& tracks, float volume,
                         std::uint32_t fadeMs)
{
    std::vector<std::optional<std::u16string>> texts;
    ForEachArrayMember(tracks, [&](tPKQVariant& member) {
        const pkq_char* text = member.GetString();
        texts.push_back(text ? std::optional<std::u16string>(text) : std::nullopt);
        return true;
    });
    if (texts.empty())
        return;
    std::vector<const char16_t*> names;
    names.reserve(texts.size());
    for (const auto& text : texts)
        names.push_back(text ? text->c_str() : nullptr);
    decoder.SetTrackMask(names.data(), static_cast<std::uint32_t>(names.size()), volume, fadeMs);
}

// Sets the tracks that `tracks` names (void: all; a string: one; an array:
// each member) to `volume`. −1003 for any other type, with nothing set.
int ApplyTrackMask(MultiTrackDecoder& decoder, const tPKQVariant& tracks,
                   const tPKQVariant& volumeValue, std::uint32_t fadeMs)
{
    const tPKQVariantType type = tracks.Type();
    if (type != pvtVoid && type != pvtObject && type != pvtString)
        return PKQ_E_INVALIDPARAM;
    const float volume = static_cast<float>(volumeValue.AsReal());
    if (type == pvtVoid) {
        decoder.SetTrackMask(nullptr, 0, volume, fadeMs);
    } else if (type == pvtString) {
        const char16_t* name = tracks.GetString();
        decoder.SetTrackMask(&name, 1, volume, fadeMs);
    } else {
        SetTrackMaskOfArray(decoder, tracks, volume, fadeMs);
    }
    return PKQ_S_OK;
}

// Applies the (tracks, volume) pairs of `changes` to a decoder that gathers
// a delayed change. True when at least one pair was applied and none was
// refused; a refused pair ends the walk. A trailing tracks value without
// its volume is ignored.
bool ApplyChangePairs(MultiTrackDecoder& decoder, const tPKQVariant& changes, std::uint32_t fadeMs)
{
    std::optional<tPKQVariant> tracks;
    int applied = 0;
    bool refused = false;
    ForEachArrayMember(changes, [&](tPKQVariant& member) {
        if (!tracks) {
            tracks.emplace(member);
            return true;
        }
        refused = ApplyTrackMask(decoder, *tracks, member, fadeMs) < 0;
        tracks.reset();
        applied += refused ? 0 : 1;
        return !refused;
    });
    return applied > 0 && !refused;
}

// The switch points: each integer of an array, or the one integer of any
// other value (void gives the single point 0). A negative point becomes a
// position no stream reaches.
std::vector<std::uint64_t> SwitchPoints(const tPKQVariant& points)
{
    std::vector<std::uint64_t> list;
    if (points.Type() != pvtObject) {
        list.push_back(static_cast<std::uint64_t>(points.AsInteger()));
        return list;
    }
    ForEachArrayMember(points, [&](tPKQVariant& member) {
        list.push_back(static_cast<std::uint64_t>(member.AsInteger()));
        return true;
    });
    return list;
}

// Ends the decoder's gathering of a delayed change in every case: Commit
// arms it, and leaving the scope without Commit (nothing to arm, or a
// script exception) drops the gathered changes, so that the decoder never
// stays gathering and ignoring immediate changes.
class DelayedMaskCommit {
public:
    explicit DelayedMaskCommit(MultiTrackDecoder& decoder) : decoder(decoder)
    {
        decoder.BeginDelayedMask();
    }
    ~DelayedMaskCommit()
    {
        if (!committed)
            decoder.CommitDelayedMask(nullptr, 0);
    }
    DelayedMaskCommit(const DelayedMaskCommit&) = delete;
    DelayedMaskCommit& operator=(const DelayedMaskCommit&) = delete;

    void Commit(const std::vector<std::uint64_t>& points)
    {
        committed = true;
        decoder.CommitDelayedMask(points.empty() ? nullptr : points.data(),
                                  static_cast<std::uint32_t>(points.size()));
    }

private:
    MultiTrackDecoder& decoder;
    bool committed = false;
};

} // namespace

int SetMultiTrackMask(tPKQVariant* result, tPKQVariant* id, tPKQVariant* tracks,
                      tPKQVariant* volume, int restCount, tPKQVariant** rest)
{
    ScriptInterface* linked = LinkedScriptInterface();
    if (!linked)
        return PKQ_E_FAIL;
    if (!IsString(id) || !tracks || !volume)
        return PKQ_E_INVALIDPARAM;
    const std::uint32_t fadeMs = FadeTime(restCount, rest);
    const Target target = FindTarget(*linked, *id, result);
    if (!target.decoder)
        return target.code;
    return ApplyTrackMask(*target.decoder, *tracks, *volume, fadeMs);
}

int SetDelayMultiTrackMask(tPKQVariant* result, tPKQVariant* id, tPKQVariant* points,
                           tPKQVariant* changes, int restCount, tPKQVariant** rest)
{
    ScriptInterface* linked = LinkedScriptInterface();
    if (!linked)
        return PKQ_E_FAIL;
    if (!IsString(id) || !points)
        return PKQ_E_INVALIDPARAM;
    const std::uint32_t fadeMs = FadeTime(restCount, rest);
    if (!changes || changes->Type() != pvtObject)
        return PKQ_E_INVALIDPARAM;
    const Target target = FindTarget(*linked, *id, result);
    if (!target.decoder)
        return target.code;
    DelayedMaskCommit delayed(*target.decoder);
    if (ApplyChangePairs(*target.decoder, *changes, fadeMs))
        delayed.Commit(SwitchPoints(*points));
    return PKQ_S_OK;
}

} // namespace scriptapi
