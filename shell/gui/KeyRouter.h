#pragma once
// Sends the keys typed into a form's widgets to the model form. Widgets never
// act on keys themselves: Tab and Shift+Tab move the model's focus, typed
// characters (with Backspace, Enter and Escape) go to DispatchKey, Delete to
// DispatchDelete, and a control's own keys (the grid's row keys) to its view.
// Key combinations with Ctrl or Alt are left to the shortcuts and the menu,
// but for the shell's own keys (F6, F2, Alt+Down; see ShellKeys).
//
// Tab and Shift+Tab go round ShellKeys::TabStops, a grid included; Enter in
// an edit moves on as Tab does. A transfer button reached so holds the Qt
// focus while the model's focus stays where it was (a button takes none
// there): Space or Enter clicks it, Escape goes back to the control.
#include <QObject>

#include <functional>

class FormView;
class QKeyEvent;
class SpeedButtonView;
class TCustomForm;

class KeyRouter : public QObject {
    Q_OBJECT
public:
    explicit KeyRouter(FormView* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A key that no view took: Tab, Backtab, the control characters, Delete,
    // or typed text.
    void RouteKey(const QKeyEvent& key);
    // The shell's own keys (ShellKeys): F6, F2 and Alt+Down; whether it was one.
    bool RouteShellKey(const QKeyEvent& key);
    void Type(const QString& text);
    void SendKey(char key);
    void Backtab();
    // Tab (forward) or Shift+Tab round the form's stops.
    void Cycle(bool forward);
    // A key typed while a transfer button holds the focus.
    void ButtonKey(SpeedButtonView* view, const QKeyEvent& key);
    // Runs the action on the model form as input, when the form is still there.
    void OnForm(const std::function<void(TCustomForm&)>& action);

    FormView* form_;
};
