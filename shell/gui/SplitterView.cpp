#include "shell/gui/SplitterView.h"

#include "platform/controls/TSplitter.h"

#include <QMouseEvent>
#include <QPainter>

SplitterView::SplitterView(TSplitter* splitter, QWidget* parent, FormView* form, ControlView* parentView)
    : QWidget(parent), ControlView(splitter, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    SyncFromModel();
}

bool SplitterView::Horizontal() const
{
    TControl* c = Control();
    return c == nullptr || c->Align() == TAlign::alLeft || c->Align() == TAlign::alRight;
}

void SplitterView::SyncFromModel()
{
    if (Control() == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    setCursor(Horizontal() ? Qt::SplitHCursor : Qt::SplitVCursor);
    update();
}

void SplitterView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void SplitterView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && Control() != nullptr && Control()->IsEnabledInChain()) {
        dragging_ = true;
        QPoint p = event->globalPosition().toPoint();
        dragFrom_ = Horizontal() ? p.x() : p.y();
    }
    event->accept();
}

void SplitterView::mouseMoveEvent(QMouseEvent* event)
{
    auto* splitter = static_cast<TSplitter*>(Control());
    if (!dragging_ || splitter == nullptr) {
        event->accept();
        return;
    }
    QPoint p = event->globalPosition().toPoint();
    int at = Horizontal() ? p.x() : p.y();
    int delta = at - dragFrom_;
    if (delta != 0) {
        int before = Horizontal() ? splitter->Left() : splitter->Top();
        Input([splitter, delta] { splitter->MoveBy(delta); });
        if (Control() != nullptr) {
            int moved = (Horizontal() ? splitter->Left() : splitter->Top()) - before;
            // The bar moves as far as the model let it; the rest of the
            // drag waits until the mouse comes back.
            dragFrom_ += moved;
        }
    }
    event->accept();
}

void SplitterView::mouseReleaseEvent(QMouseEvent* event)
{
    dragging_ = false;
    event->accept();
}
