#pragma once
// What the shell shows on behalf of the shell routines and the lookup button:
// progress windows, lookup lists and the search window. The desktop shell and
// the headless script driver each install their own; until one is installed a
// plain one writes to standard error and cancels every lookup, which is what
// tests without an operator need.
//
// Error messages do not pass through here: MensErro and the application's
// report of errors raised in event handlers both use ErrorSink, so the
// operator sees every error through one path.
//
// Everything runs on the user-interface thread; the shell's object must
// outlive its installation.
#include <optional>
#include <string>
#include <vector>

class TComponent;
class TDataSet;

class IShellUi {
public:
    virtual ~IShellUi() = default;

    // Opens the progress window over owner (may be null) showing text; kind
    // names the animation. Called again while open, it shows the new text.
    virtual void ShowProgress(TComponent* owner, int kind, const std::string& text) = 0;
    // Closes the progress window; only called while one is open.
    virtual void HideProgress() = 0;
    // A command that works through a known number of items says, while the
    // progress window is open, that it is at item done of total (1-based).
    // The plain one and the headless shell show nothing for it.
    virtual void ShowProgressCount(int done, int total);
    // The command in the open progress window can stop between two items:
    // the window offers the operator a Cancel (and takes Escape and its
    // close box as one). The plain one offers none.
    virtual void OfferProgressCancel();
    // Whether the operator pressed the Cancel offered in the open progress
    // window; the window stays open until the command closes it. The
    // command asks between two items, so the item in hand is finished first.
    virtual bool ProgressCancelled();

    // Shows the rows of dataSet in a lookup list titled title for the lookup
    // button sender, and waits for the operator: the 0-based row picked, or
    // nothing when the list was cancelled.
    virtual std::optional<int> PickRow(TComponent* sender, const std::string& title, TDataSet* dataSet) = 0;
    // The lookup button sender found nothing to list: shows its empty-list text.
    virtual void ShowEmptyLookup(TComponent* sender, const std::string& text) = 0;

    // Asks the operator text over owner (may be null) with one button a
    // choice, the first the default, and waits: the 0-based choice made, or
    // escapeChoice when the question was closed without one. The plain one
    // writes the question down and answers escapeChoice.
    virtual int Ask(TComponent* owner, const std::string& text, const std::vector<std::string>& choices,
                    int escapeChoice);

    // A note the operator may read or let pass (what another operator
    // changed): never a modal box. The plain one writes it down.
    virtual void ShowNote(const std::string& text);

    // Opens the search window over dataSet; searching moves its current row.
    // The shell keeps frmProcurar pointing at that window while it exists.
    virtual void Search(TDataSet* dataSet) = 0;

    // The object in use; never null.
    static IShellUi& Current();
    // Installs ui (null puts the standard-error one back) and returns the one
    // it replaces, so a caller can restore it.
    static IShellUi* SetCurrent(IShellUi* ui);
};
