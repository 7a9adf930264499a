// The script side of the multi-track decoders: the one MultiTrackCallbackIntf
// the plug-in has. It keeps the instance table (multi-track ID → decoder),
// runs the scripts' open callbacks ("multiTrackOpenCallbacks") and writes
// the script side's lines to the host log, each beginning "VyMultiTrack".
//
// Lifetime: V2Link creates it (Create) and publishes it in the process
// state; every multi-track decoder created while it is published keeps a
// plain pointer to it. V2Unlink retires it (Retire): everything it holds of
// the host is given back at once, but the object itself lives on, inert,
// until the last decoder that registered through it has unregistered, so a
// decoder that outlives the unlink never reaches freed memory. A decoder
// that never registered an ID cannot be reached by the script functions and
// makes no further call on it.
//
// Not thread-safe: the host calls the script side and opens and releases
// streams one at a time.
#pragma once

#include <multitrack/decoder/MultiTrackCallbackIntf.h>

#include <vymultitrack/PkqDispatch.h>

#include <cstdint>
#include <memory>
#include <unordered_set>

class ScriptInterface final : public MultiTrackCallbackIntf {
public:
    // A new interface owning `instanceTable` (a host dictionary with one
    // reference, which it takes over; may be null, then no ID is ever
    // found). Null when out of memory (the dictionary is released then).
    [[nodiscard]] static ScriptInterface* Create(iPKQDispatch2* instanceTable);

    // Removes the script members (RegisterScriptAPI(false)), releases the
    // instance table and the open-callbacks array, and frees the object at
    // once or, while decoders still hold it, when the last of them
    // unregisters. The caller must drop its pointer.
    void Retire();

    // Writes `id` → `decoder` into the table (key lower-cased by the host),
    // replacing any earlier entry; an ID already present is logged as
    // "VyMultiTrack: instance conflict:<id>". False for an empty or null
    // `id`, when the host refuses the entry, and after Retire.
    bool RegisterInstance(MultiTrackDecoder* decoder, const char16_t* id) override;
    // Removes the entry of `id`. With a `decoder`, only when the entry is
    // that decoder; otherwise logs "VyMultiTrack: instance not found:<id>"
    // and keeps the entry. With a null `decoder` the entry goes whatever it
    // holds. True when an entry was removed.
    bool UnregisterInstance(MultiTrackDecoder* decoder, const char16_t* id) override;
    // Calls the scripts' open callbacks, in index order, with (id, url,
    // trackCount, names by track index, further names with their track
    // indices) until one answers true. Nothing happens before a script has
    // read "multiTrackOpenCallbacks", or while the array is empty. A script
    // exception leaves as a thrown tHMRExceptionDesc.
    void NotifyOpen(const char16_t* id, const char16_t* url, std::int32_t trackCount,
                    const TrackNameEntry* names, std::int32_t nameCount) override;
    // Logs "VyMultiTrack[: message][: detail]" as an important line.
    // Nothing after Retire.
    void Log(const char16_t* message, const char16_t* detail) override;

    // The decoder registered under `id` (case-insensitive), or null.
    [[nodiscard]] MultiTrackDecoder* FindInstance(const tPKQString& id);
    // Logs "VyMultiTrack: instance not found:<id>" (nothing after Retire).
    void LogInstanceNotFound(const tPKQString& id);
    // The open-callbacks array (created on first use; null when the host
    // cannot make one) with the `this` to call it with. No reference is
    // added.
    [[nodiscard]] tPKQVariantClosure OpenCallbacks();

private:
    // A host object with its `this`, one reference on each that is set.
    struct HeldClosure {
        iPKQDispatch2* object = nullptr;
        iPKQDispatch2* objThis = nullptr;
        ~HeldClosure();
        // The object to pass as `this` with calls on `object`.
        [[nodiscard]] iPKQDispatch2* CallThis() const { return objThis ? objThis : object; }
    };

    explicit ScriptInterface(std::unique_ptr<HeldClosure> instanceTable);
    ~ScriptInterface() override;

    // The table's answer for the lower-cased key of `id`; null when absent
    // or when the entry names no live registered decoder.
    [[nodiscard]] MultiTrackDecoder* Lookup(const tPKQString& id);
    // Frees the object when it is retired and no decoder holds it.
    [[nodiscard]] bool FreeIfUnused();
    void LogWithId(const char16_t* message, const tPKQString& id);

    std::unique_ptr<HeldClosure> instances;     // the host dictionary; null after Retire
    std::unique_ptr<HeldClosure> openCallbacks; // null until first read; null after Retire
    // Decoders that registered an ID through this interface and have not
    // unregistered since: the ones that will call back.
    std::unordered_set<const MultiTrackDecoder*> holders;
    bool retired = false;
};
