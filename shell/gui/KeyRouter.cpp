#include "shell/gui/KeyRouter.h"

#include "platform/controls/TCustomForm.h"
#include "shell/ShellKeys.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

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
    case Qt::Key_Tab:
        if (key.modifiers() & Qt::ShiftModifier) {
            Backtab();
        } else {
            SendKey('\t');
        }
        return;
    case Qt::Key_Backtab: Backtab(); return;
    case Qt::Key_Backspace: SendKey('\b'); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: SendKey('\r'); return;
    case Qt::Key_Escape: SendKey(27); return;
    case Qt::Key_Delete: OnForm([](TCustomForm& form) { form.DispatchDelete(); }); return;
    default: break;
    }
    if (!key.text().isEmpty()) {
        Type(key.text());
    }
}
