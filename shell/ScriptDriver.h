#pragma once
// The shell's headless mode: reads one command a line and drives the screen as
// an operator would, writing one JSON object a line (UTF-8) for what the
// operator would see. Lookup lists and the search window are modal: while one
// is open the driver reads further commands in a nested loop until the
// operator answers it, as a modal window's message loop would.
#include "host/IShellUi.h"
#include "shell/PackageHost.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class TCustomForm;
class TComponent;

class ScriptDriver : public IShellUi {
public:
    ScriptDriver(std::istream& in, std::ostream& out, PackageHost& package, bool trace);
    ~ScriptDriver() override;

    // Runs the script to its end.
    void Run();

    // IShellUi
    void ShowProgress(TComponent* owner, int kind, const std::string& text) override;
    void HideProgress() override;
    void ShowProgressCount(int done, int total) override;
    void OfferProgressCancel() override;
    // True once the Cancel armed by `cancel N` is pressed: when the window
    // shows its item N + 1, that is once N items are done.
    bool ProgressCancelled() override;
    std::optional<int> PickRow(TComponent* Sender, const std::string& title, TDataSet* DataSet) override;
    void ShowEmptyLookup(TComponent* Sender, const std::string& text) override;
    void Search(TDataSet* DataSet) override;
    int Ask(TComponent* owner, const std::string& text, const std::vector<std::string>& choices,
            int escapeChoice) override;
    void ShowNote(const std::string& text) override;

private:
    // Reads and runs commands until Done says so or the input ends; returns
    // false at the end of the input.
    bool RunUntil(const std::function<bool()>& done);
    void Execute(const std::vector<std::string>& words);
    void Emit(const nlohmann::json& line);
    void ScriptError(const std::string& text);
    void ShowError(const std::string& text);

    // The form commands are aimed at: the active form, or the screen.
    TCustomForm* TargetForm() const;
    TComponent* FindNamed(const std::string& name) const;

    // The commands, each run with the words of its line.
    struct Command;
    static const Command* FindCommand(const std::string& name);
    void CmdOpen(const std::vector<std::string>& w);
    void CmdClose(const std::vector<std::string>& w);
    void CmdUnload(const std::vector<std::string>& w);
    void CmdTab(const std::vector<std::string>& w);
    void CmdSession(const std::vector<std::string>& w);
    void CmdDump(const std::vector<std::string>& w);
    void CmdFocus(const std::vector<std::string>& w);
    void CmdType(const std::vector<std::string>& w);
    void CmdKey(const std::vector<std::string>& w);
    void CmdClick(const std::vector<std::string>& w);
    void CmdDblClick(const std::vector<std::string>& w);
    void CmdListClick(const std::vector<std::string>& w);
    void CmdCellClick(const std::vector<std::string>& w);
    void CmdPick(const std::vector<std::string>& w);
    void CmdAnswer(const std::vector<std::string>& w);
    void CmdWait(const std::vector<std::string>& w);
    // `cancel N`: commands run whole before the next line is read, so the
    // Cancel of the next progress window that offers one is pressed ahead,
    // to take effect once N of its items are done.
    void CmdCancel(const std::vector<std::string>& w);
    // Between commands, with no modal window open: what other operators
    // stored reaches the screen.
    void DeliverUpdates();
    void CmdSearch(const std::vector<std::string>& w);
    void CmdWindowState(const std::vector<std::string>& w);

    std::istream& in_;
    std::ostream& out_;
    PackageHost& package_;
    IShellUi* previousUi_ = nullptr;

    // The open lookup list, while one is open. `type` narrows it: shown holds
    // the data-set rows the filter leaves, and `pick N` counts in them.
    struct Lookup {
        std::string name;
        const TDataSet* data = nullptr;
        nlohmann::json rows;
        std::string filter;
        std::vector<int> shown;
        bool answered = false;
        std::optional<int> pick;
    };
    // Narrows the open lookup list to Filter and shows it again.
    void FilterLookup(const std::string& filter);
    void EmitLookup();
    Lookup* lookup_ = nullptr;
    // The open search window, while one is open.
    struct SearchWindow {
        TDataSet* data = nullptr;
        TCustomForm* form = nullptr;
        bool closed = false;
    };
    SearchWindow* search_ = nullptr;
    // The open question, while one is open: `answer N` picks choice N.
    struct Question {
        size_t choices = 0;
        int escapeChoice = -1;
        std::optional<int> answer;
    };
    Question* question_ = nullptr;
    // TNetConnection::Delivered() when the last command ended.
    int deliveredMark_ = 0;
    int progressDepth_ = 0;
    // The Cancel `cancel N` armed: N, until the window that offered a Cancel
    // closes.
    std::optional<int> cancelAfter_;
    bool cancelOffered_ = false;
    bool cancelPressed_ = false;
    // The item the open progress window shows (1-based), 0 before the first.
    int progressItem_ = 0;
};
