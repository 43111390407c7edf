#pragma once
// The shell's main window: the multiple-document area that holds one window
// per visible model form, the menu that opens the screen (loading its package
// on demand), the active form's menu, and a status bar with the session's
// branch and server. It follows the application object: forms that appear,
// show, hide or go, the active form, and the screen-wide cursor (the
// hourglass becomes Qt's wait cursor).
//
// It opens at the size, place and maximized state it had when last closed
// (QSettings of the application's organisation and name, group "MainWindow"),
// and saves them when it closes; a place mostly off screen (a screen that is
// gone) comes back whole onto the screen. A maximized screen whose caption is
// the application's name does not add it again to the window's title.
#include "platform/core/Signal.h"

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <set>

class FormView;
class MenuMirror;
class QAction;
class PackageHost;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class TCustomForm;

class ShellWindow : public QMainWindow {
    Q_OBJECT
public:
    // The package may be null (tests that build forms in code).
    explicit ShellWindow(PackageHost* package, QWidget* parent = nullptr);
    ~ShellWindow() override;

    QMdiArea* MdiArea() const { return area_; }
    MenuMirror* Menus() const { return menus_; }
    QAction* QuitAction() const { return quit_; }
    // The window of a form, or null while it has none.
    FormView* ViewOf(const TCustomForm* form) const;

    // Opens the screen through the package's IniProc, as the menu does.
    void OpenScreen();
    // Forms the shell draws in a window of its own (the search window's
    // form): they get no document window.
    void SetDrawnElsewhere(const TCustomForm* form, bool value);

    // Mirrors the application's forms, the active one and the status bar.
    void SyncForms();
    void UpdateStatus();
    QString BranchText() const;
    QString ServerText() const;

    // Brings the main window back to the front after one of the shell's own
    // windows closed, with the focus where the active form has it.
    void Reactivate();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SyncCursor();
    void RestorePlace();
    // Moves the window whole onto a screen when most of it is off screen.
    void BringOnScreen();
    void SavePlace() const;
    void SubWindowActivated(QMdiSubWindow* window);

    PackageHost* package_;
    QMdiArea* area_;
    MenuMirror* menus_;
    QAction* quit_;
    QLabel* branch_;
    QLabel* server_;
    std::map<const TCustomForm*, QPointer<FormView>> views_;
    std::map<const TCustomForm*, Connection> watches_;
    std::set<const TCustomForm*> elsewhere_;
    Connection formsChanged_;
    Connection cursorChanged_;
    bool waitCursor_ = false;
    bool syncing_ = false;
};
