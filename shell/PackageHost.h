#pragma once
// The shell's side of the screen package: loads it on demand, opens the screen
// through its exported IniProc, reads its exported globals, and unloads it
// (closing its screen first, since the screen's code lives in the package).
#include "platform/package/PackageLoader.h"

#include <string>

class TCustomForm;

class PackageHost {
public:
    explicit PackageHost(std::string packagePath);
    ~PackageHost();

    bool Loaded() const { return loader_.Loaded(); }
    const std::string& PackagePath() const { return path_; }

    // Loads the package if it is not loaded yet (locale from the session).
    void Load();
    // Loads if needed and calls IniProc. Errors pass to the caller.
    void Open();
    // Destroys every form the package created, then unloads it.
    void Unload();

    // The package's exported globals; only while loaded.
    TCustomForm* ScreenGlobal() const;
    bool BoolGlobal(const std::string& name) const;
    std::string TextGlobal(const std::string& name) const;

    // The package's screen class name, for finding its forms.
    static constexpr const char* kScreenClass = "TfrmServCliente";

private:
    std::string path_;
    PackageLoader loader_;
};
