#include "MemoryStorageProvider.h"

#include "MemoryStream.h"
#include "StorageName.h"

#include <vymultitrack/Utf16Text.h>

#include <utility>

namespace host {

MemoryStorageProvider* MemoryStorageProvider::Create()
{
    return new MemoryStorageProvider;
}

void MemoryStorageProvider::Add(std::u16string_view name, std::vector<std::uint8_t> bytes,
                                StreamFaults faults)
{
    const std::lock_guard lock(mutex_);
    files_.insert_or_assign(WithForwardSlashes(name), File{std::move(bytes), faults});
}

HRESULT MemoryStorageProvider::OpenStreamForRead(const char16_t* name, IStream** out)
{
    requests_.fetch_add(1);
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    const std::u16string key = WithForwardSlashes({name, vytext::Utf16Length(name)});
    {
        const std::lock_guard lock(mutex_);
        const auto found = files_.find(key);
        if (found == files_.end())
            return STG_E_FILENOTFOUND;
        *out = MemoryStream::Create(found->second.bytes, found->second.faults);
    }
    served_.fetch_add(1);
    return S_OK;
}

} // namespace host
