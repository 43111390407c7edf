#include "shell/PackageHost.h"

#include "host/Session.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"

#include <iostream>
#include <vector>

PackageHost::PackageHost(std::string packagePath) : path_(std::move(packagePath)) {}

PackageHost::~PackageHost()
{
    if (Loaded()) {
        try {
            Unload();
        } catch (...) {
            // The loader reports what it could not finalize.
        }
    }
}

void PackageHost::Load()
{
    if (!loader_.Loaded()) {
        loader_.Load(path_, Session::Current().Language());
        if (!loader_.Warning().empty()) {
            std::cerr << "shell: warning: " << loader_.Warning() << "\n";
        }
    }
}

void PackageHost::Open()
{
    Load();
    auto iniProc = reinterpret_cast<void (*)()>(loader_.Resolve("IniProc"));
    iniProc();
}

void PackageHost::Unload()
{
    if (!loader_.Loaded()) {
        return;
    }
    // Forms whose class lives in the package must go before its code does.
    std::vector<TCustomForm*> doomed;
    for (TCustomForm* f : Application().Forms()) {
        if (f->ClassName() == kScreenClass) {
            doomed.push_back(f);
        }
    }
    for (TCustomForm* f : doomed) {
        Application().Dispatch([f] { f->Close(); });
    }
    Application().ProcessReleases();
    for (TCustomForm* f : std::vector<TCustomForm*>(Application().Forms())) {
        if (f->ClassName() == kScreenClass) {
            delete f;
        }
    }
    loader_.Unload();
}

TCustomForm* PackageHost::ScreenGlobal() const
{
    auto** ref = static_cast<TCustomForm**>(loader_.Find("frmServCliente"));
    return ref == nullptr ? nullptr : *ref;
}

bool PackageHost::BoolGlobal(const std::string& name) const
{
    auto* b = static_cast<bool*>(loader_.Find(name));
    return b != nullptr && *b;
}

std::string PackageHost::TextGlobal(const std::string& name) const
{
    auto* s = static_cast<std::string*>(loader_.Find(name));
    return s == nullptr ? std::string() : *s;
}
