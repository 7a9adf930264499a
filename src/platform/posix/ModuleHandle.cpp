#include <platform/ModuleHandle.h>

#include <dlfcn.h>

namespace platform {

LibraryHandle OwnModuleHandle()
{
    // Resolved once: the image that holds this very function.
    static LibraryHandle const handle = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<const void*>(&OwnModuleHandle), &info) == 0)
            return static_cast<LibraryHandle>(nullptr);
        void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        if (!self)
            self = dlopen(nullptr, RTLD_NOW); // this code is in the executable
        if (self)
            dlclose(self); // keep no reference of our own, as at process attach
        return self;
    }();
    return handle;
}

} // namespace platform
