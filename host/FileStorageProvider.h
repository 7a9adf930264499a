// The host's storage over a folder on disk.
#pragma once

#include <vymultitrack/ComObject.h>

#include <vymultitrack/HSSStorageProvider.h>

#include <filesystem>

namespace host {

// Serves the files under a root folder. A storage name is a path relative to
// the root whose parts are separated by '\\', '/' or '>' (see StorageName.h);
// leading separators are ignored, so "\\music\\a.ogg" is <root>/music/a.ogg.
// QueryInterface answers IID_IUnknown only. Safe to use from several threads
// at once.
class FileStorageProvider final : public vy::ComObject<HSSStorageProvider> {
public:
    // A provider for the files under `root` with one reference for the
    // caller. The root need not exist yet; it is looked at on every open.
    [[nodiscard]] static FileStorageProvider* Create(std::filesystem::path root);

    // Opens the file `name` and stores a FileStream with one reference for
    // the caller through `out`. Answers
    //   S_OK                  opened;
    //   E_INVALIDARG          `out` or `name` is null, or `name` is empty,
    //                         names no file (only separators and "."), names a
    //                         drive or root of its own, or climbs out of the
    //                         root with "..";
    //   STG_E_FILENOTFOUND    no such file under the root;
    //   STG_E_ACCESSDENIED    it exists but cannot be read as a file: a
    //                         folder, a device, or no read permission;
    //   STG_E_SEEKERROR       it opened but its length could not be found.
    // `*out` is null after every failure (when `out` is not null).
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) override;

    [[nodiscard]] const std::filesystem::path& Root() const { return root_; }

private:
    explicit FileStorageProvider(std::filesystem::path root);
    ~FileStorageProvider() override = default;

    const std::filesystem::path root_;
};

} // namespace host
