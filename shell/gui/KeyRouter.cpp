#include "shell/gui/KeyRouter.h"

#include "platform/controls/TCustomForm.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

KeyRouter::KeyRouter(FormView* Form) : QObject(Form), form_(Form) {}

void KeyRouter::Type(const QString& text)
{
    std::optional<std::string> keys = GuiConvert::FromQt(text);
    if (!keys) {
        // A character the run-time text cannot hold is not typed at all.
        return;
    }
    for (char key : *keys) {
        if (static_cast<unsigned char>(key) < 32) {
            continue;
        }
        form_->Input([this, key] {
            if (TCustomForm* form = form_->Form()) {
                form->DispatchKey(key);
            }
        });
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
    TCustomForm* form = form_->Form();
    if (form == nullptr) {
        return true;
    }
    if (auto* view = dynamic_cast<ControlView*>(watched); view != nullptr && view->HandleKey(key)) {
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        Type(QGuiApplication::clipboard()->text());
        return true;
    }
    Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    char control = 0;
    switch (key->key()) {
    case Qt::Key_Tab:
        if (mods == Qt::NoModifier) {
            control = key->modifiers() & Qt::ShiftModifier ? 0 : '\t';
            if (control == 0) {
                form_->Input([this] {
                    if (TCustomForm* f = form_->Form()) {
                        f->SelectNext(f->ActiveControl(), false);
                    }
                });
                return true;
            }
        }
        break;
    case Qt::Key_Backtab:
        if (mods == Qt::NoModifier) {
            form_->Input([this] {
                if (TCustomForm* f = form_->Form()) {
                    f->SelectNext(f->ActiveControl(), false);
                }
            });
            return true;
        }
        break;
    case Qt::Key_Backspace: control = '\b'; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: control = '\r'; break;
    case Qt::Key_Escape: control = 27; break;
    case Qt::Key_Delete:
        if (mods == Qt::NoModifier) {
            form_->Input([this] {
                if (TCustomForm* f = form_->Form()) {
                    f->DispatchDelete();
                }
            });
        }
        return true;
    default: break;
    }
    if (mods != Qt::NoModifier) {
        return true;
    }
    if (control != 0) {
        form_->Input([this, control] {
            if (TCustomForm* f = form_->Form()) {
                f->DispatchKey(control);
            }
        });
        return true;
    }
    if (!key->text().isEmpty()) {
        Type(key->text());
    }
    return true;
}
