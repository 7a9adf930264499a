#include "SimpleBinderBindUtil.h"

#include "SimpleBinderFunctionStore.h"
#include "SimpleBinderPropertyStore.h"

#include <plugin/HostFunctions.h>

#include <new>
#include <string>

namespace SimpleBinder::Detail {

namespace {

// The object held by the member `name` of `object`; null when it cannot be
// read or holds no object. No reference is kept: the member keeps it alive.
iPKQDispatch2* MemberObject(iPKQDispatch2* object, const pkq_char* name)
{
    tPKQVariant value;
    if (object->GetMember(0, name, nullptr, &value, object) < 0)
        return nullptr;
    return value.AsObjectNoAddRef();
}

// A new store owning `callback`, or null (and `callback` destroyed) when
// the store cannot be allocated. A null `callback` (out of memory) gives a
// store that answers like the base.
template <class Store, class... Callbacks> StoreUtil* NewStore(Callbacks*... callbacks)
{
    StoreUtil* store = new (std::nothrow) Store(callbacks...);
    if (!store)
        (delete callbacks, ...);
    return store;
}

template <class NativeFunction>
StoreUtil* NewFunctionStore(pkq_int32 minParams, NativeFunction function)
{
    return NewStore<FunctionStore>(new (std::nothrow)
                                       FunctionCallback<NativeFunction>(minParams, function));
}

} // namespace

iPKQDispatch2* FindObject(const pkq_char* path, iPKQDispatch2* root)
{
    if (!path)
        return nullptr;
    iPKQDispatch2* current = root;
    if (!current) {
        current = hostapi::HMRGetScriptDispatch();
        if (!current)
            return nullptr;
        // The host keeps its global object alive; no reference is kept here.
        current->Release();
    }
    const std::u16string_view rest(path);
    std::size_t start = 0;
    while (current && start <= rest.size()) {
        std::size_t end = rest.find(u'.', start);
        if (end == std::u16string_view::npos)
            end = rest.size();
        if (end > start) {
            const std::u16string segment(rest.substr(start, end - start));
            current = MemberObject(current, segment.c_str());
        }
        start = end + 1;
    }
    return current;
}

BindUtil::BindUtil(bool link, const pkq_char* path, iPKQDispatch2* root, iPKQDispatch2* context)
    : link(link), target(FindObject(path, root)), context(context)
{
}

template <class MakeStore>
BindUtil& BindUtil::Step(const pkq_char* name, bool haveNative, MakeStore makeStore)
{
    if (!target)
        return *this;
    bool ok = false;
    if (!link)
        ok = StoreUtil::UnlinkStore(target, name);
    else if (haveNative && name)
        ok = StoreUtil::LinkStore(target, name, makeStore(), context);
    if (!ok)
        failed = true;
    return *this;
}

BindUtil& BindUtil::Function(const pkq_char* name, NativeFunctionWithRest function)
{
    return Step(name, function != nullptr, [&] { return NewFunctionStore(3, function); });
}

BindUtil& BindUtil::Function(const pkq_char* name, NativeFunctionOfTwo function)
{
    return Step(name, function != nullptr, [&] { return NewFunctionStore(2, function); });
}

BindUtil& BindUtil::Property(const pkq_char* name, NativeGetter getter)
{
    return Step(name, getter != nullptr, [&] {
        SetterInterface* noSetter = nullptr; // bound properties are read-only
        return NewStore<PropertyStore>(noSetter,
                                       new (std::nothrow) GetterCallback<NativeGetter>(getter));
    });
}

} // namespace SimpleBinder::Detail
