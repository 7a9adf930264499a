#include "HSSModuleBase.h"

#include "InterfaceIds.h"

HSSModuleBase::HSSModuleBase(HSSStorageProvider* provider, const ModuleInformation* information)
    : storageProvider(provider), info(information)
{
}

HRESULT HSSModuleBase::QueryInterface(REFIID iid, void** out)
{
    return AnswerQueryInterface(static_cast<IHSSModule*>(this), iid, out);
}

ULONG HSSModuleBase::AddRef()
{
    return refCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG HSSModuleBase::Release()
{
    const std::uint32_t remaining = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0)
        delete this;
    return remaining;
}

void CopyTextToBuffer(const char16_t* text, char16_t* buffer, std::uint32_t length)
{
    if (length == 0 || !buffer)
        return;
    std::uint32_t n = 0;
    if (text)
        for (; n + 1 < length && text[n] != 0; ++n)
            buffer[n] = text[n];
    buffer[n] = 0;
}

HRESULT HSSModuleBase::GetCopyrightText(char16_t* buffer, std::uint32_t length)
{
    if (!info)
        return E_NOTIMPL;
    CopyTextToBuffer(info->copyright, buffer, length);
    return S_OK;
}

HRESULT HSSModuleBase::GetDescriptionText(char16_t* buffer, std::uint32_t length)
{
    if (!info)
        return E_NOTIMPL;
    CopyTextToBuffer(info->description, buffer, length);
    return S_OK;
}

HRESULT HSSModuleBase::EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                              char16_t* extension, std::uint32_t length)
{
    if (!info)
        return E_NOTIMPL;
    if (info->entryCount <= 0 || index >= static_cast<std::uint32_t>(info->entryCount))
        return S_FALSE;
    const ModuleExtensionEntry& entry = info->entries[index];
    if (shortName) {
        // The caller's buffer must hold the whole short name (20 characters
        // at most in this plug-in's records).
        std::uint32_t n = 0;
        for (; entry.shortName && entry.shortName[n] != 0; ++n)
            shortName[n] = entry.shortName[n];
        shortName[n] = 0;
    }
    CopyTextToBuffer(entry.extension, extension, length);
    return S_OK;
}

HRESULT HSSModuleBase::GetMediaInformation(const char16_t*, void**)
{
    return E_NOTIMPL;
}

HRESULT HSSModuleBase::CheckMediaSupport(const char16_t*)
{
    return E_NOTIMPL;
}
