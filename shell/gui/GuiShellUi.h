#pragma once
// The desktop shell's windows for the shell routines and the lookup button,
// and its error box. Installing it (the constructor does) makes it the
// IShellUi in use and the error sink; destroying it puts back what was there.
//
// Errors: one message box per message; MensErro shows its text here and
// then raises EAbort, which the application's report does not show again.
#include "host/IShellUi.h"
#include "platform/core/ErrorSink.h"

#include <QPointer>
#include <QString>

#include <functional>

class ProgressWindow;
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
    std::optional<int> PickRow(TComponent* Sender, const std::string& title, TDataSet* DataSet) override;
    void ShowEmptyLookup(TComponent* Sender, const std::string& text) override;
    void Search(TDataSet* DataSet) override;

    // Shows one error message box.
    void ShowError(const std::string& text);
    // The progress window while it is open, else null.
    ProgressWindow* Progress() const;

private:
    // The window the shell's windows open over: the owner's form window, or
    // the main window.
    QWidget* WindowOver(TComponent* owner) const;
    void Reactivate();

    ShellWindow* shell_;
    IShellUi* previousUi_;
    ErrorSink::Sink previousSink_;
    QPointer<ProgressWindow> progress_;
};
