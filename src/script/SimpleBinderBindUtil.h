// One registration pass of the binder: binds (or unbinds) native functions
// and read-only properties as members of an existing host object. Construct,
// call Function / Property for each member in turn, read Succeeded().
//
//   BindUtil(true, u"WaveSoundBuffer")
//       .Function(u"setMultiTrackMask", SetMultiTrackMask)
//       .Property(u"multiTrackOpenCallbacks", GetOpenCallbacks);
#pragma once

#include "SimpleBinderCallbacks.h"

namespace SimpleBinder::Detail {

// The object at `path` (member names joined by '.'; empty segments are
// skipped) from `root`, or from the host's global object when `root` is
// null. No reference is taken on the answer. Null when the global object is
// missing, a member cannot be read or does not hold an object, or `path`
// is null. An empty path answers the root itself.
[[nodiscard]] iPKQDispatch2* FindObject(const pkq_char* path, iPKQDispatch2* root);

class BindUtil {
public:
    // `link`: true binds, false unbinds. The members go onto the object at
    // `path` from `root` (FindObject); `context` (may be null) is stored as
    // the `this` of each bound store.
    BindUtil(bool link, const pkq_char* path, iPKQDispatch2* root = nullptr,
             iPKQDispatch2* context = nullptr);
    virtual ~BindUtil() = default;
    BindUtil(const BindUtil&) = delete;
    BindUtil& operator=(const BindUtil&) = delete;

    // Binds `name` as a function taking at least three arguments (and a rest
    // list) that calls `function`, or unbinds `name`. Without a target this
    // does nothing; a refused bind or unbind, or a null `name` or `function`
    // when binding, marks the pass failed.
    BindUtil& Function(const pkq_char* name, NativeFunctionWithRest function);
    // The same for a function taking at least two arguments.
    BindUtil& Function(const pkq_char* name, NativeFunctionOfTwo function);
    // The same for a read-only property read through `getter`.
    BindUtil& Property(const pkq_char* name, NativeGetter getter);

    // True when no step failed (also when the target was not found).
    [[nodiscard]] bool Succeeded() const { return !failed; }
    // The object whose members are bound; null when the path was not found.
    [[nodiscard]] iPKQDispatch2* Target() const { return target; }

private:
    // One bind or unbind step of `name`; `makeStore()` creates the store to
    // bind (null when out of memory); `haveNative` is false for a null
    // native function.
    template <class MakeStore>
    BindUtil& Step(const pkq_char* name, bool haveNative, MakeStore makeStore);

    bool link;
    bool failed = false;
    iPKQDispatch2* target;
    iPKQDispatch2* context;
};

} // namespace SimpleBinder::Detail
