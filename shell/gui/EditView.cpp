#include "shell/gui/EditView.h"

#include "platform/controls/TCustomEdit.h"
#include "shell/gui/GuiConvert.h"

#include "platform/controls/TCustomForm.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <iterator>

EditView::EditView(TCustomEdit* edit, QWidget* parent, FormView* form, ControlView* parentView)
    : QLineEdit(parent), ControlView(edit, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setTextMargins(0, 0, 0, 0);
    SyncFromModel();
}

TCustomEdit* EditView::Edit() const
{
    return static_cast<TCustomEdit*>(Control());
}

void EditView::SyncFromModel()
{
    TCustomEdit* edit = Edit();
    if (edit == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    QString text = GuiConvert::ToQt(edit->DisplayText());
    if (this->text() != text) {
        setText(text);
    }
    // The model's caret and selection are places in its Text; a mask's
    // literals put them further along in what is shown.
    int length = static_cast<int>(text.size());
    int start = std::clamp(edit->DisplayOffset(edit->SelStart()), 0, length);
    int end = edit->SelLength() > 0 ? edit->DisplayOffset(edit->SelStart() + edit->SelLength()) : start;
    int selected = std::clamp(end - start, 0, length - start);
    if (selected > 0) {
        if (selectionStart() != start || selectedText().size() != selected) {
            setSelection(start, selected);
        }
    } else {
        if (hasSelectedText()) {
            deselect();
        }
        if (cursorPosition() != start) {
            setCursorPosition(start);
        }
    }
}

void EditView::mousePressEvent(QMouseEvent* event)
{
    // The caret and selection are the model's: a click only brings the focus.
    if (event->button() == Qt::LeftButton) {
        TCustomEdit* edit = Edit();
        Input([edit] { edit->SetFocus(); });
    }
    event->accept();
}

void EditView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void EditView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void EditView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        TCustomEdit* edit = Edit();
        Input([edit] {
            if (edit->IsEnabledInChain()) {
                edit->DblClick();
            }
        });
    }
    event->accept();
}

void EditView::dragEnterEvent(QDragEnterEvent* event)
{
    event->ignore();
}

void EditView::dropEvent(QDropEvent* event)
{
    event->ignore();
}

QMenu* EditView::CreateModelContextMenu()
{
    TCustomEdit* edit = Edit();
    QMenu* menu = createStandardContextMenu();
    if (edit == nullptr) {
        return menu;
    }
    bool writable = edit->IsEnabledInChain() && !edit->ReadOnly();
    bool selected = edit->SelLength() > 0;
    QString shown = text();
    int start = std::clamp(edit->DisplayOffset(edit->SelStart()), 0, static_cast<int>(shown.size()));
    int end =
        std::clamp(edit->DisplayOffset(edit->SelStart() + edit->SelLength()), start, static_cast<int>(shown.size()));
    QString selection = shown.mid(start, end - start);
    auto copy = [selection] { QGuiApplication::clipboard()->setText(selection); };
    auto remove = [this, edit] {
        Input([edit] {
            edit->SetFocus();
            edit->KeyDelete();
        });
    };
    // Qt's actions keep their translated texts and shortcuts; what they do
    // is the model's. Qt gives them in this order, undo and redo first.
    const char* const names[] = {"edit-undo",  "edit-redo",   "edit-cut",  "edit-copy",
                                 "edit-paste", "edit-delete", "select-all"};
    int next = 0;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && next < static_cast<int>(std::size(names))) {
            action->setObjectName(QLatin1String(names[next++]));
        }
    }
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        action->disconnect();
        if (name == QLatin1String("edit-copy")) {
            action->setEnabled(selected);
            connect(action, &QAction::triggered, this, copy);
        } else if (name == QLatin1String("edit-cut")) {
            action->setEnabled(selected && writable);
            connect(action, &QAction::triggered, this, [copy, remove] {
                copy();
                remove();
            });
        } else if (name == QLatin1String("edit-delete")) {
            action->setEnabled(selected && writable);
            connect(action, &QAction::triggered, this, remove);
        } else if (name == QLatin1String("edit-paste")) {
            action->setEnabled(writable && !QGuiApplication::clipboard()->text().isEmpty());
            connect(action, &QAction::triggered, this, [this, edit] {
                std::optional<std::string> keys = GuiConvert::FromQt(QGuiApplication::clipboard()->text());
                if (!keys) {
                    return;
                }
                std::string typed = *keys;
                Input([edit, typed] {
                    edit->SetFocus();
                    if (TCustomForm* form = edit->GetParentForm(); form != nullptr && form->ActiveControl() == edit) {
                        for (char key : typed) {
                            if (static_cast<unsigned char>(key) >= 32) {
                                form->DispatchKey(key);
                            }
                        }
                    }
                });
            });
        } else if (name == QLatin1String("select-all")) {
            action->setEnabled(!edit->Text().empty());
            connect(action, &QAction::triggered, this, [this, edit] {
                Input([edit] {
                    edit->SetFocus();
                    edit->SelectAll();
                });
            });
        } else if (!action->isSeparator()) {
            // Undo and Redo: the model keeps no history of its own.
            action->setVisible(false);
        }
    }
    return menu;
}

void EditView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (Edit() == nullptr) {
        return;
    }
    QPointer<QMenu> menu = CreateModelContextMenu();
    menu->exec(event->globalPos());
    delete menu.data();
}
