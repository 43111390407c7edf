#include "shell/gui/EditView.h"

#include "platform/controls/TCustomEdit.h"
#include "shell/gui/GuiConvert.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>

#include <algorithm>

EditView::EditView(TCustomEdit* edit, QWidget* parent, FormView* form, ControlView* parentView)
    : QLineEdit(parent), ControlView(edit, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
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
    int length = static_cast<int>(text.size());
    int start = std::clamp(edit->SelStart(), 0, length);
    int selected = std::clamp(edit->SelLength(), 0, length - start);
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
