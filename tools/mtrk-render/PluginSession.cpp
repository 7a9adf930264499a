#include "PluginSession.h"

#include "hmdevui/StorageForwarding.h"

#include <vymultitrack/HostEngine.h>
#include <vymultitrack/Utf16Text.h>

namespace mtrk {
namespace {

using ForwardStorageFunction = HSSStorageProvider* (*)(HSSStorageProvider* target);

// A storage provider whose files can be served from another folder later:
// the float output's counterpart of the "hmdevui.dll" image's provider.
class SwitchableStorage final : public vy::ComObject<HSSStorageProvider> {
public:
    static SwitchableStorage* Create() { return new SwitchableStorage; }

    HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) override
    {
        return forwarding.Open(name, out);
    }

    StorageForwarding forwarding;

private:
    SwitchableStorage() = default;
    ~SwitchableStorage() override = default;
};

std::u16string Text(const host::Variant& value)
{
    return value.IsString() ? std::u16string(value.StringPtr()) : std::u16string();
}

} // namespace

bool PluginSession::Start(const SessionSetup& setup, std::string& error)
{
    library_ = std::make_unique<host::PluginLibrary>();
    if (!library_->Load(setup.plugin)) {
        error = "cannot load the plug-in ";
        error.append(setup.plugin.string()).append(": ").append(library_->Error());
        return false;
    }
    if (!library_->GetModuleInstance()) {
        error = setup.plugin.string();
        error.append(" is not a sound module (no GetModuleInstance)");
        return false;
    }
    if (!setup.hostModule.empty()) {
        hostModule_ = std::make_unique<host::PluginLibrary>();
        if (!hostModule_->Load(setup.hostModule) || !hostModule_->FindExport("ForwardStorageTo")) {
            error = "cannot load the 16-bit host module ";
            error.append(setup.hostModule.string()).append(": ");
            error.append(hostModule_->IsLoaded() ? "no ForwardStorageTo export" : hostModule_->Error());
            return false;
        }
    }
    runtime_ = std::make_unique<host::ScriptRuntime>();
    runtime_->ParseCommandLine(setup.hostOptions);
    script_ = std::make_unique<host::Script>(*runtime_);
    const auto link = reinterpret_cast<V2LinkFunction>(library_->FindExport("V2Link"));
    if (link) {
        if (link(runtime_->Exporter()) != S_OK) {
            error = "the plug-in refused to link its script face (V2Link failed)";
            return false;
        }
        linked_ = true;
        callbacks_ = script_->Get(u"multiTrackOpenCallbacks").value;
        host::ScriptObject(callbacks_).Push(host::Function([this](const host::CallArgs& args) {
            OnOpen(args);
            return host::Variant(false); // let any later callback run too
        }));
    }
    // The licence notices written at link time are not news to the user.
    logRead_ = runtime_->Log().size();
    return true;
}

bool PluginSession::UseStorage(const std::filesystem::path& root, std::string& error)
{
    if (files_)
        files_->Release();
    files_ = host::FileStorageProvider::Create(root);
    if (hostModule_) {
        storage_ = reinterpret_cast<ForwardStorageFunction>(hostModule_->FindExport("ForwardStorageTo"))(files_);
    } else {
        if (!storage_)
            storage_ = SwitchableStorage::Create();
        static_cast<SwitchableStorage*>(storage_)->forwarding.SetTarget(files_);
    }
    if (!module_ && (library_->GetModuleInstance()(&module_, storage_, nullptr, nullptr) != S_OK || !module_)) {
        error = "the plug-in gave no multi-track module (GetModuleInstance failed)";
        return false;
    }
    return true;
}

Decoder PluginSession::Open(const std::u16string& url, std::string& error)
{
    lastOpen_.reset();
    IHSSWaveDecoder* decoder = nullptr;
    const std::size_t logBefore = runtime_->Log().size();
    const HRESULT result = module_->OpenMediaInstance(url.c_str(), &decoder);
    if (result >= 0 && decoder)
        return Decoder(decoder);
    if (decoder)
        decoder->Release();
    // The decoder reports why through its callback interface: the last
    // line logged while opening.
    const auto& log = runtime_->Log();
    error = log.size() > logBefore ? vytext::ToUtf8(log.back().text) : std::string();
    return Decoder();
}

host::CallResult PluginSession::Call(std::u16string_view member, const host::Args& args)
{
    return script_->Call(member, args);
}

std::vector<std::string> PluginSession::TakeLog()
{
    std::vector<std::string> lines;
    const auto& log = runtime_->Log();
    for (; logRead_ < log.size(); ++logRead_)
        lines.push_back(vytext::ToUtf8(log[logRead_].text));
    return lines;
}

void PluginSession::OnOpen(const host::CallArgs& args)
{
    OpenReport report;
    report.id = Text(args[0]);
    report.url = Text(args[1]);
    report.trackCount = static_cast<int>(args[2].AsInteger());
    if (args[3].IsObject())
        for (const host::Variant& name : host::ScriptObject(args[3]).Elements())
            report.firstNames.push_back(Text(name));
    if (args[4].IsObject()) {
        const auto further = host::ScriptObject(args[4]).Elements();
        for (std::size_t i = 0; i + 1 < further.size(); i += 2)
            report.otherNames.emplace_back(Text(further[i]), static_cast<int>(further[i + 1].AsInteger()));
    }
    lastOpen_ = std::move(report);
}

PluginSession::~PluginSession()
{
    if (module_)
        module_->Release();
    if (storage_ && !hostModule_)
        storage_->Release(); // the plug-in keeps its own reference until unlinked
    callbacks_.Clear();
    bool unlinked = true;
    if (linked_) {
        const auto unlink = reinterpret_cast<V2UnlinkFunction>(library_->FindExport("V2Unlink"));
        unlinked = unlink && unlink() == S_OK;
    }
    script_.reset();
    if (unlinked) {
        runtime_.reset();
        library_.reset();
    } else {
        // A script object of the plug-in is still held: keep the plug-in and
        // its runtime until the process ends, as the engine would.
        static_cast<void>(runtime_.release());
        static_cast<void>(library_.release());
    }
    if (hostModule_ && unlinked) {
        reinterpret_cast<ForwardStorageFunction>(hostModule_->FindExport("ForwardStorageTo"))(nullptr);
        hostModule_.reset();
    } else {
        static_cast<void>(hostModule_.release());
    }
    if (files_)
        files_->Release();
}

} // namespace mtrk
