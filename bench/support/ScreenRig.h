#pragma once
// The screen package loaded into the benchmark's process and opened through
// IniProc against a running application server, as the headless shell opens
// it: a session file and a local database in a folder of its own, a main form,
// and an operator who picks the first client of every lookup list and never
// waits on a progress window.
//
// Failure behaviour: a step that makes the screen report an error throws
// EInvalidOperation with the operator's message, so a measurement never goes
// on over a broken screen.
#include "host/IShellUi.h"
#include "shell/PackageHost.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TComponent;
class TCustomForm;
class TForm;

class ScreenRig : public IShellUi {
public:
    // Writes the session (branch as the session's branch, the server at
    // 127.0.0.1:port) and the local database into dir.
    ScreenRig(const std::string& dir, int port, const std::string& branch);
    ~ScreenRig() override;

    // Loads the package and calls IniProc.
    void Open();
    // Picks the branch's first client with the lookup button and leaves the
    // header for the grid, which loads both lists.
    void ChooseClient();
    // Picks the client without leaving the header: the lists stay unloaded.
    void PickClient();
    // Leaves the header for the grid (both lists are loaded).
    void LeaveHeader();
    // Takes the focus into the branch edit: both lists are emptied.
    void EnterHeader();
    // Goes back into the header, types another branch code over the branch
    // edit, picks that branch's first client and leaves the header again.
    void ChangeBranch(const std::string& branch);
    // The operator's click on a button of the screen.
    void Click(const std::string& name);

    TComponent* Find(const std::string& name) const;
    template <class T>
    T* Get(const std::string& name) const
    {
        return dynamic_cast<T*>(Find(name));
    }

    // IShellUi
    void ShowProgress(TComponent* owner, int kind, const std::string& text) override;
    void HideProgress() override;
    std::optional<int> PickRow(TComponent* sender, const std::string& title, TDataSet* dataSet) override;
    void ShowEmptyLookup(TComponent* sender, const std::string& text) override;
    void Search(TDataSet* dataSet) override;

private:
    void Run(const std::string& what, const std::function<void()>& step);
    void Focus(const std::string& name);

    std::string dir_;
    std::unique_ptr<PackageHost> package_;
    TForm* main_ = nullptr;
    IShellUi* previousUi_ = nullptr;
    std::vector<std::string> errors_;
};
