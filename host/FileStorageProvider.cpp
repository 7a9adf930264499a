#include "FileStorageProvider.h"

#include "FileStream.h"
#include "StorageName.h"

#include <vymultitrack/Utf16Text.h>

#include <utility>

namespace host {

FileStorageProvider* FileStorageProvider::Create(std::filesystem::path root)
{
    return new FileStorageProvider(std::move(root));
}

FileStorageProvider::FileStorageProvider(std::filesystem::path root) : root_(std::move(root)) {}

HRESULT FileStorageProvider::OpenStreamForRead(const char16_t* name, IStream** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    const auto relative = RelativePathOfStorageName({name, vytext::Utf16Length(name)});
    if (!relative)
        return E_INVALIDARG;
    return FileStream::Open(root_ / *relative, out);
}

} // namespace host
