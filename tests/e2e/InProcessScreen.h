#pragma once
// The screen package loaded into the test process, opened through IniProc
// against the harness's real application server, so that tests can look at
// the components themselves.
#include "ShellHarness.h"

#include "platform/package/PackageLoader.h"

class TCustomForm;
class TComponent;

class InProcessScreen : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the package (if needed) and calls IniProc.
    void Open();
    TCustomForm* Screen() const;
    template <class T>
    T* Get(const std::string& name) const
    {
        return dynamic_cast<T*>(Find(name));
    }
    TComponent* Find(const std::string& name) const;
    // Established loopback connections to the application server's port.
    int ConnectionsTo(int port) const;

    PackageLoader package_;
    TCustomForm* main_ = nullptr;
    std::vector<std::string> errors_;
};
