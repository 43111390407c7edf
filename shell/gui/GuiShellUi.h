#pragma once
// The desktop shell's windows for the shell routines and the lookup button,
// and its error box. Installing it (the constructor does) makes it the
// IShellUi in use and the error sink; destroying it puts back what was there.
//
// While the progress window is open the operator's input to the screens and
// the main window is dropped, not kept for after the command (InputGate),
// but for the Cancel the command may offer in that window.
//
// A command that counts its items (move-all, one call a service) is shown at
// the display's pace, not item by item: the window shows the first and the
// last item, and between them the item in hand once a frame's time has gone
// since the event loop last turned; only then does the loop turn, so the
// windows repaint, the views take the model's changes and a Cancel is taken
// once a frame, whatever the number of items.
//
// Errors: one message box per message; MensErro shows its text here and
// then raises EAbort, which the application's report does not show again.
#include "host/IShellUi.h"
#include "platform/core/ErrorSink.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <functional>

class InputGate;
class ProgressWindow;
class QTimer;
class QWidget;
class ShellWindow;

class GuiShellUi : public IShellUi {
public:
    explicit GuiShellUi(ShellWindow* shell);
    ~GuiShellUi() override;
    GuiShellUi(const GuiShellUi&) = delete;
    GuiShellUi& operator=(const GuiShellUi&) = delete;

    void ShowProgress(TComponent* owner, int kind, const std::string& text) override;
    void HideProgress() override;
    void ShowProgressCount(int done, int total) override;
    // The progress window's Cancel, its Escape and close box take input
    // while the gate drops the rest.
    void OfferProgressCancel() override;
    bool ProgressCancelled() override;
    std::optional<int> PickRow(TComponent* Sender, const std::string& title, TDataSet* DataSet) override;
    void ShowEmptyLookup(TComponent* Sender, const std::string& text) override;
    void Search(TDataSet* DataSet) override;
    // In the main window's status line, for a while: never a box to close.
    void ShowNote(const std::string& text) override;
    // A question box over the owner's window. It is modal, so the operator
    // answers it also while the gate drops the input to everything else.
    int Ask(TComponent* owner, const std::string& text, const std::vector<std::string>& choices,
            int escapeChoice) override;

    // Shows one error message box wide enough for its title; a message shown
    // by a check that runs as the focus leaves a control goes to the status
    // line instead, with a beep and an alert for screen readers.
    void ShowError(const std::string& text);
    // The progress window while it is open, else null.
    ProgressWindow* Progress() const;
    // Drops the operator's input while a command with the progress window runs.
    InputGate* Gate() const { return gate_; }
    // How long a counted command runs between two turns of the event loop
    // (0: every item, as tests that act at a given item need).
    void SetFrameMs(int value) { frameMs_ = value; }

private:
    // The window the shell's windows open over: the owner's form window, or
    // the main window.
    QWidget* WindowOver(TComponent* owner) const;
    void Reactivate();
    // Lets the event loop turn while the command runs: the progress window
    // repaints, and the input that arrived is dropped by the gate.
    void Pump();

    ShellWindow* shell_;
    IShellUi* previousUi_;
    ErrorSink::Sink previousSink_;
    std::function<void()> previousWaitHook_;
    QPointer<ProgressWindow> progress_;
    InputGate* gate_;
    int frameMs_ = kFrameMs;
    // When the event loop last turned while the progress window counted.
    QElapsedTimer sinceShown_;
    // Delivers the connections' live updates while the operator is idle.
    QTimer* updates_ = nullptr;
    static constexpr int kUpdatePeriodMs = 50;
    // About two frames of a 60 Hz display.
    static constexpr int kFrameMs = 30;
    static constexpr int kNoteMs = 15000;
    // Room a window's title bar keeps for its icon and buttons.
    static constexpr int kTitleBarButtonsWidth = 140;
};
