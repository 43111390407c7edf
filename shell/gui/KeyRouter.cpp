#include "shell/gui/KeyRouter.h"

#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TCustomForm.h"
#include "shell/ShellKeys.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/SpeedButtonView.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

#include <algorithm>

KeyRouter::KeyRouter(FormView* form) : QObject(form), form_(form) {}

void KeyRouter::OnForm(const std::function<void(TCustomForm&)>& action)
{
    form_->Input([this, action] {
        if (TCustomForm* form = form_->Form()) {
            action(*form);
        }
    });
}

void KeyRouter::SendKey(char key)
{
    OnForm([key](TCustomForm& form) { form.DispatchKey(key); });
}

void KeyRouter::Backtab()
{
    OnForm([](TCustomForm& form) { form.SelectNext(form.ActiveControl(), false); });
}

void KeyRouter::Cycle(bool forward)
{
    TCustomForm* form = form_->Form();
    if (form == nullptr) {
        return;
    }
    TControl* current = form->ActiveControl();
    auto* focusedButton = dynamic_cast<SpeedButtonView*>(QApplication::focusWidget());
    if (focusedButton != nullptr && focusedButton->Form() == form_ && focusedButton->Control() != nullptr) {
        current = focusedButton->Control();
    }
    std::vector<TControl*> stops = ShellKeys::TabStops(*form);
    auto at = std::find(stops.begin(), stops.end(), current);
    if (at == stops.end()) {
        // Somewhere Tab does not stop: the form's own tab order.
        if (forward) {
            SendKey('\t');
        } else {
            Backtab();
        }
        return;
    }
    size_t n = stops.size();
    auto pos = static_cast<size_t>(at - stops.begin());
    TControl* next = stops[forward ? (pos + 1) % n : (pos + n - 1) % n];
    if (auto* control = dynamic_cast<TWinControl*>(next)) {
        OnForm([control](TCustomForm&) {
            if (control->CanFocus()) {
                control->SetFocus();
            }
        });
    } else if (QWidget* widget = form_->WidgetOf(next)) {
        widget->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
}

void KeyRouter::ButtonKey(SpeedButtonView* view, const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Tab: Cycle(!(key.modifiers() & Qt::ShiftModifier)); return;
    case Qt::Key_Backtab: Cycle(false); return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QPointer<SpeedButtonView> button(view);
        view->OperatorClick();
        // The focus stays on a button that can still be clicked.
        if (button != nullptr && button->Control() != nullptr && button->isEnabled() && button->isVisible()) {
            button->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    case Qt::Key_Escape: form_->FollowFocus(); return;
    default: return;
    }
}

void KeyRouter::Type(const QString& text)
{
    std::optional<std::string> keys = GuiConvert::FromQt(text);
    if (!keys) {
        // A character the run-time text cannot hold is not typed at all.
        return;
    }
    for (char key : *keys) {
        if (static_cast<unsigned char>(key) >= 32) {
            SendKey(key);
        }
    }
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Left unaccepted, so the shortcuts see every key first; an edit may
        // still copy its selection.
        return !key->matches(QKeySequence::Copy);
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy)) {
        return false;
    }
    if (form_->Form() == nullptr) {
        return true;
    }
    if (RouteShellKey(*key)) {
        return true;
    }
    if (auto* button = dynamic_cast<SpeedButtonView*>(watched)) {
        ButtonKey(button, *key);
        return true;
    }
    if (auto* view = dynamic_cast<ControlView*>(watched); view != nullptr && view->HandleKey(key)) {
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        Type(QGuiApplication::clipboard()->text());
        return true;
    }
    RouteKey(*key);
    return true;
}

bool KeyRouter::RouteShellKey(const QKeyEvent& key)
{
    Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_F6 && modifiers == Qt::NoModifier) {
        OnForm([](TCustomForm& form) { ShellKeys::FocusNextList(form); });
        return true;
    }
    if ((key.key() == Qt::Key_F2 && modifiers == Qt::NoModifier) ||
        (key.key() == Qt::Key_Down && modifiers == Qt::AltModifier)) {
        OnForm([](TCustomForm& form) { ShellKeys::OpenLookup(form); });
        return true;
    }
    return false;
}

void KeyRouter::RouteKey(const QKeyEvent& key)
{
    // With Ctrl, Alt or Meta a key belongs to the shortcuts and the menu.
    if ((key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != Qt::NoModifier) {
        return;
    }
    switch (key.key()) {
    case Qt::Key_Tab: Cycle(!(key.modifiers() & Qt::ShiftModifier)); return;
    case Qt::Key_Backtab: Cycle(false); return;
    case Qt::Key_Backspace: SendKey('\b'); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (form_->Form() != nullptr && dynamic_cast<TCustomEdit*>(form_->Form()->ActiveControl()) != nullptr) {
            Cycle(true);
        } else {
            SendKey('\r');
        }
        return;
    case Qt::Key_Escape: SendKey(27); return;
    case Qt::Key_Delete: OnForm([](TCustomForm& form) { form.DispatchDelete(); }); return;
    default: break;
    }
    if (!key.text().isEmpty()) {
        Type(key.text());
    }
}
