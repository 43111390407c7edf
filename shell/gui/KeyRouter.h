#pragma once
// Sends the keys typed into a form's widgets to the model form. Widgets never
// act on keys themselves: Tab and Shift+Tab move the model's focus, typed
// characters (with Backspace, Enter and Escape) go to DispatchKey, Delete to
// DispatchDelete, and a control's own keys (the grid's row keys) to its view.
// Key combinations with Ctrl or Alt are left to the shortcuts and the menu.
#include <QObject>

class FormView;

class KeyRouter : public QObject {
    Q_OBJECT
public:
    explicit KeyRouter(FormView* Form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Type(const QString& text);

    FormView* form_;
};
