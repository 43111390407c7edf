#include "shell/gui/FormSurface.h"

#include "platform/controls/TCustomForm.h"
#include "shell/gui/FormView.h"

#include <QPainter>
#include <QResizeEvent>

FormSurface::FormSurface(TCustomForm* form, FormView* view) : QWidget(nullptr), ControlView(form, this, view, nullptr)
{
    setFocusPolicy(Qt::NoFocus);
    view->RouteKeys(this);
    SyncFromModel();
}

void FormSurface::SyncFromModel()
{
    if (Control() == nullptr) {
        return;
    }
    // Placement, visibility and state belong to the window; here only the
    // look. Updates go through FormView so the window follows too.
    ApplyLook();
    Form()->SyncFromModel();
}

QSize FormSurface::sizeHint() const
{
    auto* form = static_cast<TCustomForm*>(Control());
    return form != nullptr ? QSize(form->ClientWidth(), form->ClientHeight()) : QWidget::sizeHint();
}

void FormSurface::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void FormSurface::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form()->SurfaceResized(event->size());
}

void FormSurface::ModelGone()
{
    // The window goes with its form; FormView deletes this widget.
    Retire();
}
