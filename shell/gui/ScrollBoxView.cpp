#include "shell/gui/ScrollBoxView.h"

#include "platform/controls/TScrollBox.h"

#include <QResizeEvent>

#include <algorithm>

ScrollBoxView::ScrollBoxView(TControl* control, QWidget* parent, FormView* form, ControlView* parentView)
    : QScrollArea(parent), ControlView(control, this, form, parentView), content_(new QWidget)
{
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    content_->setAutoFillBackground(true);
    setWidget(content_);
    SyncFromModel();
    SyncChildren();
    UpdateExtent();
}

QPoint ScrollBoxView::ChildOrigin() const
{
    TControl* control = Control();
    int inset = control != nullptr ? static_cast<TWinControl*>(control)->ClientInset() : 0;
    return {inset, inset};
}

void ScrollBoxView::SyncFromModel()
{
    auto* box = dynamic_cast<TScrollBox*>(Control());
    if (Control() == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    if (box != nullptr && box->BorderStyle() == TBorderStyle::bsSingle) {
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
    content_->setPalette(palette());
    UpdateExtent();
}

void ScrollBoxView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    UpdateExtent();
}

void ScrollBoxView::UpdateExtent()
{
    QSize extent = viewport()->size();
    for (QWidget* child : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden()) {
            extent = extent.expandedTo(QSize(child->geometry().right() + 1, child->geometry().bottom() + 1));
        }
    }
    if (content_->size() != extent) {
        content_->resize(extent);
    }
}
