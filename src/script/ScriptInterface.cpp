#include "ScriptInterface.h"

#include "ScriptApi.h"
#include "ScriptApiArray.h"

#include <plugin/HostFunctions.h>
#include <plugin/HostTryBlock.h>

#include <cstdint>
#include <new>

namespace {

constexpr const char16_t* kConflict = u"VyMultiTrack: instance conflict:";
constexpr const char16_t* kNotFound = u"VyMultiTrack: instance not found:";

// Removes a decoder from the set of holders when the scope ends, also when
// a script exception passes.
class ForgetHolderAtExit {
public:
    ForgetHolderAtExit(std::unordered_set<const MultiTrackDecoder*>& holders,
                       const MultiTrackDecoder* decoder)
        : holders(holders), decoder(decoder)
    {
    }
    ~ForgetHolderAtExit() { holders.erase(decoder); }
    ForgetHolderAtExit(const ForgetHolderAtExit&) = delete;
    ForgetHolderAtExit& operator=(const ForgetHolderAtExit&) = delete;

private:
    std::unordered_set<const MultiTrackDecoder*>& holders;
    const MultiTrackDecoder* decoder;
};

// The two name arrays handed to the open callbacks: the first name of each
// track at its track index, and every further name followed by its track
// index. Each holds the reference it was created with.
struct TrackNameArrays {
    iPKQDispatch2* byIndex = nullptr;
    iPKQDispatch2* otherNames = nullptr;

    // Both arrays exist as soon as there is one entry, even when one of
    // them stays empty; without entries neither does.
    TrackNameArrays(const TrackNameEntry* names, std::int32_t nameCount)
    {
        if (!names || nameCount < 1)
            return;
        byIndex = hostapi::PKQCreateArrayObject();
        otherNames = hostapi::PKQCreateArrayObject();
    }
    // Entries without a name are skipped; a later entry for the same track
    // index replaces the earlier one.
    void Fill(const TrackNameEntry* names, std::int32_t nameCount) const
    {
        pkq_int next = 0;
        for (std::int32_t i = 0; names && i < nameCount; ++i) {
            const TrackNameEntry& entry = names[i];
            if (!entry.name)
                continue;
            const tPKQVariant name(entry.name);
            if (entry.index >= 0) {
                if (byIndex)
                    byIndex->SetMemberByNumber(PKQ_MEMBERENSURE, entry.index, &name, byIndex);
                continue;
            }
            if (otherNames) {
                const tPKQVariant track(static_cast<pkq_int32>(~entry.index));
                otherNames->SetMemberByNumber(PKQ_MEMBERENSURE, next, &name, otherNames);
                otherNames->SetMemberByNumber(PKQ_MEMBERENSURE, next + 1, &track, otherNames);
            }
            next += 2;
        }
    }
    ~TrackNameArrays()
    {
        if (byIndex)
            byIndex->Release();
        if (otherNames)
            otherNames->Release();
    }
    TrackNameArrays(const TrackNameArrays&) = delete;
    TrackNameArrays& operator=(const TrackNameArrays&) = delete;
};

// Calls the open callback held by `member` with the five arguments; true
// when it answered 0 and a true result. `member` is used as the result.
bool CallOpenCallback(tPKQVariant& member, tPKQVariant** arguments)
{
    const tPKQVariantClosure callback = member.AsObjectClosureNoAddRef();
    if (!callback.Object)
        return false;
    // Held for the call: the callback may take itself out of the array.
    const scriptapi::HostObjectHold holdObject(callback.Object);
    const scriptapi::HostObjectHold holdThis(callback.ObjThis);
    member.Clear();
    const pkq_int code =
        hostapi::TryCallMember(callback.Object, 0, nullptr, nullptr, &member, 5, arguments,
                               callback.ObjThis ? callback.ObjThis : callback.Object);
    return code == 0 && static_cast<bool>(member);
}

} // namespace

// --- lifetime ------------------------------------------------------------

ScriptInterface::HeldClosure::~HeldClosure()
{
    if (object)
        object->Release();
    if (objThis)
        objThis->Release();
}

ScriptInterface* ScriptInterface::Create(iPKQDispatch2* instanceTable)
{
    std::unique_ptr<HeldClosure> table(new (std::nothrow) HeldClosure);
    if (!table) {
        if (instanceTable)
            instanceTable->Release();
        return nullptr;
    }
    table->object = instanceTable;
    // When the allocation fails the table is not handed over, and goes here.
    return new (std::nothrow) ScriptInterface(std::move(table));
}

ScriptInterface::ScriptInterface(std::unique_ptr<HeldClosure> instanceTable)
    : instances(std::move(instanceTable))
{
}

ScriptInterface::~ScriptInterface() = default;

void ScriptInterface::Retire()
{
    if (retired)
        return;
    retired = true;
    try {
        static_cast<void>(RegisterScriptAPI(false));
    } catch (...) {
        // Members the host would not remove stay, but their functions
        // answer −1 from now on: the interface is no longer published.
    }
    instances.reset();
    openCallbacks.reset();
    static_cast<void>(FreeIfUnused());
}

bool ScriptInterface::FreeIfUnused()
{
    if (!retired || !holders.empty())
        return false;
    delete this;
    return true;
}

// --- instance table ------------------------------------------------------

MultiTrackDecoder* ScriptInterface::Lookup(const tPKQString& id)
{
    if (!instances || !instances->object)
        return nullptr;
    iPKQDispatch2* table = instances->object;
    tPKQString key;
    id.AsLowerCase(key);
    tPKQVariant value;
    if (hostapi::TryGetMember(table, PKQ_MEMBERMUSTEXIST, key.c_str(), key.GetHint(), &value,
                              table) != 0)
        return nullptr;
    auto* decoder =
        reinterpret_cast<MultiTrackDecoder*>(static_cast<std::intptr_t>(value.AsInteger()));
    // Only a decoder that is still registered is ever handed out, whatever
    // the table was left holding.
    return holders.count(decoder) != 0 ? decoder : nullptr;
}

MultiTrackDecoder* ScriptInterface::FindInstance(const tPKQString& id)
{
    return Lookup(id);
}

bool ScriptInterface::RegisterInstance(MultiTrackDecoder* decoder, const char16_t* id)
{
    if (!id || !*id)
        return false;
    if (decoder)
        holders.insert(decoder);
    if (retired || !instances->object)
        return false;
    iPKQDispatch2* table = instances->object;
    const tPKQString name(id);
    if (Lookup(name))
        LogWithId(kConflict, name);
    tPKQString key;
    name.AsLowerCase(key);
    const tPKQVariant value(static_cast<pkq_int64>(reinterpret_cast<std::intptr_t>(decoder)));
    return hostapi::TrySetMember(table, PKQ_MEMBERENSURE | PKQ_IGNOREPROP, key.c_str(),
                                 key.GetHint(), &value, table) == 0;
}

bool ScriptInterface::UnregisterInstance(MultiTrackDecoder* decoder, const char16_t* id)
{
    if (!id || !*id)
        return false;
    if (retired) {
        holders.erase(decoder);
        static_cast<void>(FreeIfUnused()); // `this` may be gone from here on
        return false;
    }
    const tPKQString name(id);
    if (decoder) {
        const ForgetHolderAtExit forget(holders, decoder);
        if (Lookup(name) != decoder) {
            LogWithId(kNotFound, name);
            return false;
        }
    }
    if (!instances->object)
        return false;
    iPKQDispatch2* table = instances->object;
    tPKQString key;
    name.AsLowerCase(key);
    return hostapi::TryRemoveMember(table, PKQ_MEMBERMUSTEXIST, key.c_str(), key.GetHint(),
                                    table) == 0;
}

// --- open callbacks ------------------------------------------------------

tPKQVariantClosure ScriptInterface::OpenCallbacks()
{
    if (retired)
        return {nullptr, nullptr};
    if (!openCallbacks) {
        std::unique_ptr<HeldClosure> holder(new (std::nothrow) HeldClosure);
        if (!holder)
            return {nullptr, nullptr};
        holder->object = hostapi::PKQCreateArrayObject();
        // A host out of memory now may have memory on the next read: only
        // an array that exists is kept.
        if (!holder->object)
            return {nullptr, nullptr};
        openCallbacks = std::move(holder);
    }
    return {openCallbacks->object, openCallbacks->CallThis()};
}

void ScriptInterface::NotifyOpen(const char16_t* id, const char16_t* url, std::int32_t trackCount,
                                 const TrackNameEntry* names, std::int32_t nameCount)
{
    if (retired || !openCallbacks || !openCallbacks->object)
        return;
    iPKQDispatch2* callbacks = openCallbacks->object;
    iPKQDispatch2* callbacksThis = openCallbacks->CallThis();
    const pkq_int count = scriptapi::CountArrayMembers(callbacks, callbacksThis);
    if (count < 1)
        return;

    tPKQVariant idArgument{tPKQString(id)};
    tPKQVariant urlArgument{tPKQString(url)};
    tPKQVariant trackCountArgument(static_cast<pkq_int32>(trackCount));
    const TrackNameArrays arrays(names, nameCount);
    arrays.Fill(names, nameCount);
    // The argument variants hold their own references on the arrays.
    tPKQVariant byIndexArgument(arrays.byIndex, arrays.byIndex);
    tPKQVariant otherNamesArgument(arrays.otherNames, arrays.otherNames);
    tPKQVariant* arguments[] = {&idArgument, &urlArgument, &trackCountArgument, &byIndexArgument,
                                &otherNamesArgument};

    for (pkq_int number = 0; number < count; ++number) {
        tPKQVariant member;
        if (scriptapi::ReadArrayMember(callbacks, number, member, callbacksThis) != 0 ||
            member.Type() != pvtObject)
            continue;
        if (CallOpenCallback(member, arguments))
            return;
    }
}

// --- log -----------------------------------------------------------------

void ScriptInterface::Log(const char16_t* message, const char16_t* detail)
{
    if (retired)
        return;
    tPKQString line(u"VyMultiTrack");
    if (message) {
        line += u": ";
        line += message;
    }
    if (detail) {
        line += u": ";
        line += detail;
    }
    hostapi::HMRAddImportantLog(line);
}

void ScriptInterface::LogInstanceNotFound(const tPKQString& id)
{
    if (!retired)
        LogWithId(kNotFound, id);
}

void ScriptInterface::LogWithId(const char16_t* message, const tPKQString& id)
{
    tPKQString line(message);
    line += id.c_str();
    hostapi::HMRAddImportantLog(line);
}
